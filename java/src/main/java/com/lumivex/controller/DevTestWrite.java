package com.lumivex.controller;

/**
 * The verdict of a test upload, filled by {@link Lumidrive#closeTestFile(DevTestWrite)}.
 */
public class DevTestWrite {
    /** Whether the show would fit on the controller. */
    public boolean willFit;
    /** Size the show would take, in the controller library's units. */
    public long totalSize;

    /** Creates an empty verdict. */
    public DevTestWrite() {
    }
}
