package com.lumivex.controller;

/**
 * What {@link Lumidrive#getDeviceInfo(DevInfo)} reports about an open controller.
 *
 * <p>Not thread safe: a native call writes the fields one by one.
 */
public class DevInfo {
    /** Revision text of the controller. */
    public String revision = "";
    /** Number of channels the controller accepts in live play. */
    public int numberLivePlayChannels;
    /** Number of channels the controller plays back from a stored show. */
    public int numberPlaybackChannels;
    /** Whether the controller can play back compressed shows. */
    public boolean canPlaybackCompress;
    /** Number of playback triggers the controller holds. */
    public int numberPlaybackTriggers;
    /** Total space of the controller's file store, in the controller library's units. */
    public long totalSpace;
    /** Largest number of shows the controller stores. */
    public int maxNumberShows;
    /** Whether shows stored on the controller can be read back. */
    public boolean canReadFiles;
    /** Whether the controller's file store can be listed. */
    public boolean canListFiles;
    /** Whether the controller has a trigger header. */
    public boolean hasTriggerHeader;
    /** Lowest frame rate the controller plays, in frames per second. */
    public double minFrameRate;

    /** Creates an empty record, to be filled by {@link Lumidrive#getDeviceInfo(DevInfo)}. */
    public DevInfo() {
    }
}
