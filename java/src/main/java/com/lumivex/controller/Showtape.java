package com.lumivex.controller;

/**
 * Java access to the Showtape show-file library: creates, opens, reads,
 * writes, rewinds and closes show files ({@code *.dmx}), one open file per
 * object.
 *
 * <p>Loading this class loads the native library {@code JNIShowtape}: from the
 * file named by the system property {@value #LIBRARY_PROPERTY} when it is set,
 * otherwise by {@link System#loadLibrary(String)} from
 * {@code java.library.path}.
 *
 * <p>Failures are raised as {@link DevException}. Its code is the show-file
 * library's own result, unchanged, or one of the bridge's codes:
 * {@value DevException#DEV_ERROR} when a Java value cannot be converted (a
 * {@code null} path, name, header, header text, frame or channel array; a
 * field of the object, header or frame that the native library cannot find
 * with its expected type) and when a frame is read or written while no file is
 * open; {@value DevException#DEV_OUT_OF_MEMORY} when a native buffer cannot be
 * allocated; {@value DevException#DEV_FILE_ALREADY_OPEN} when a file is opened
 * or created while one is open; {@value DevException#DEV_FILE_NOT_OPEN} when
 * a file is closed or rewound while none is open. When the library fails, the
 * object and the output objects are left as they were.
 *
 * <p>The header's two texts are stored cut to 255 UTF-16 units; the show's name
 * is given whole, and the library decides whether it fits.
 *
 * <p>Not thread safe: the open file lives in the object and nothing serialises
 * calls on it. Different objects may be used by different threads at once.
 */
public class Showtape {
    /** System property naming the native library file to load instead of {@code libJNIShowtape}. */
    public static final String LIBRARY_PROPERTY = "lumivex.jnishowtape";

    /**
     * Handle of the open show file, sign-extended from the library's 32 bits; -1 while no file is open.
     * Only its low 32 bits count: when they are all ones, no file is open. Written by the native library.
     */
    private long fileHandle = -1;

    /** Version number the library gave the open show file. Written by the native library. */
    private int versionNumber;

    static {
        String file = System.getProperty(LIBRARY_PROPERTY);
        if (file != null && !file.isEmpty()) {
            System.load(file);
        } else {
            System.loadLibrary("JNIShowtape");
        }
    }

    /** Creates an object with no show file open. */
    public Showtape() {
    }

    /**
     * Tells whether this object holds an open show file.
     *
     * @return true between a successful open or create and a successful {@link #closeShowtape()}
     */
    public boolean isOpen() {
        return (int) fileHandle != -1;
    }

    // ---- Library version ----

    /**
     * Returns the major version of the show-file library.
     *
     * @return the library's value, or -1 when the library cannot report its version
     */
    public static native int getLibraryMajorRevision();

    /**
     * Returns the minor version of the show-file library.
     *
     * @return the library's value, or -1 when the library cannot report its version
     */
    public static native int getLibraryMinorRevision();

    /**
     * Returns the build version of the show-file library.
     *
     * @return the library's value, or -1 when the library cannot report its version
     */
    public static native int getLibraryBuildRevision();

    // ---- Show files ----

    /**
     * Opens a show file for reading and reports its header and name.
     *
     * @param path   the file to open
     * @param header filled with the show's header; untouched when the library fails
     * @return the show's name
     * @throws DevException {@value DevException#DEV_FILE_ALREADY_OPEN} when this object already has a file open;
     *                      1 when {@code path} or {@code header} is null or a text cannot be converted (after the
     *                      file was opened, it then stays open); 10 when a native buffer cannot be allocated;
     *                      the library's code when it cannot open the file
     */
    public native String openShowtape(String path, ShowtapeHeader header) throws DevException;

    /**
     * Creates a show file. Frames are then appended with {@link #writeDMXFrame(DMXFrame)}; the show is complete
     * when {@link #closeShowtape()} succeeds.
     *
     * @param path          the file to create
     * @param name          the show's name, given whole
     * @param header        the show's header; its texts are cut to 255 UTF-16 units and {@code totalFrames} to its
     *                      low 32 bits
     * @param formatVersion passed to the library unchanged (the show-file format version; 0 means the newest)
     * @param replace       passed to the library (whether an existing file at {@code path} may be replaced)
     * @throws DevException {@value DevException#DEV_FILE_ALREADY_OPEN} when this object already has a file open;
     *                      1 when {@code path}, {@code name}, {@code header} or one of its texts is null or cannot
     *                      be read; 10 when a native buffer cannot be allocated; the library's code when it cannot
     *                      create the file
     */
    public native void createShowtape(String path, String name, ShowtapeHeader header, int formatVersion,
            boolean replace) throws DevException;

    /**
     * Closes this object's show file; a show being written is completed.
     *
     * @throws DevException {@value DevException#DEV_FILE_NOT_OPEN} when no file is open; the library's code when
     *                      it cannot close the file, which then stays open so that closing may be tried again
     */
    public native void closeShowtape() throws DevException;

    /**
     * Starts the open show again: the next {@link #readDMXFrame(DMXFrame)} reads the first frame.
     *
     * @throws DevException {@value DevException#DEV_FILE_NOT_OPEN} when no file is open; the library's code
     */
    public native void rewindShowtape() throws DevException;

    // ---- Frames ----

    /**
     * Reads the next frame of the open show into an existing frame. The array {@code frame.dmxData} keeps its
     * length and is filled in place: element i receives channel i as a value from 0 to 255, and 0 when the frame
     * has fewer channels.
     *
     * @param frame filled with the next frame; untouched unless 0 is returned
     * @return 0 when {@code frame} was filled, 2 when the show has no further frame
     * @throws DevException 1 when no file is open, {@code frame} or its array is null, or a field of the frame
     *                      cannot be found (nothing is read then), and when the array's elements cannot be had
     *                      (the frame read is then skipped); 10 when the native buffer cannot be allocated;
     *                      the library's code for any failure other than 2
     */
    public native int readDMXFrame(DMXFrame frame) throws DevException;

    /**
     * Appends a frame to the show being written. The channel count is the length of {@code frame.dmxData}; each
     * value travels as its low 8 bits (256 as 0, -1 as 255). The frame is not changed.
     *
     * @param frame the frame to append
     * @throws DevException 1 when no file is open, {@code frame} or its array is null or cannot be read;
     *                      10 when the native buffer cannot be allocated; the library's code
     */
    public native void writeDMXFrame(DMXFrame frame) throws DevException;
}
