package com.lumivex.controller;

/**
 * One entry of a controller's file store, as
 * {@link Lumidrive#getFirstFile(String, DevFileEntry)} and
 * {@link Lumidrive#getNextFile(DevFileEntry)} report it.
 */
public class DevFileEntry {
    /** Name of the file. */
    public String fileName = "";
    /** Size of the file, in the controller library's units. */
    public long fileSize;
    /** Time of the last change, as the controller library defines it. */
    public long lastModified;
    /** Whether the entry is a directory. */
    public boolean isDirectory;

    /** Creates an empty entry, to be filled by a listing. */
    public DevFileEntry() {
    }
}
