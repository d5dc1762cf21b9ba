package com.lumivex.controller;

/**
 * One attached controller, as {@link Lumidrive#getFirstDevice(DevEntry)} and
 * {@link Lumidrive#getNextDevice(DevEntry)} report it and as
 * {@link Lumidrive#openDevice(DevEntry)} takes it.
 *
 * <p>The two texts reach the controller library cut to 255 UTF-16 units.
 * Not thread safe: a native call reads or writes the fields one by one.
 */
public class DevEntry {
    /** Kind of controller, as the controller library reports it. */
    public int deviceType;
    /** Port the controller is attached to. */
    public String devicePort = "";
    /** Device-class value, the argument of the {@code supports...} queries of {@link Lumidrive}. */
    public int deviceClasses;
    /** Number of the controller, as the controller library reports it. */
    public int deviceNumber;
    /** Name of the controller. */
    public String deviceName = "";

    /** Creates an empty entry, to be filled by an enumeration. */
    public DevEntry() {
    }

    @Override
    public String toString() {
        return deviceName + " on " + devicePort;
    }
}
