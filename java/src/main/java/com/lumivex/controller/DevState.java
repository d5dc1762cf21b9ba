package com.lumivex.controller;

/**
 * The state of an open controller, as {@link Lumidrive#getDeviceState(DevState)}
 * reports it. The values belong to the controller library.
 */
public class DevState {
    /** State value, unchanged from the controller library. */
    public int state;

    /** Creates an empty record, to be filled by {@link Lumidrive#getDeviceState(DevState)}. */
    public DevState() {
    }
}
