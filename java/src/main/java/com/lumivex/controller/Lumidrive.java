package com.lumivex.controller;

/**
 * Java access to the Lumidrive controller library: finds attached
 * controllers, opens one per object, and drives live play, show upload, the
 * controller's file store, playback and the trigger table.
 *
 * <p>Loading this class loads the native library {@code JNILumidrive}: from
 * the file named by the system property {@value #LIBRARY_PROPERTY} when it is
 * set, otherwise by {@link System#loadLibrary(String)} from
 * {@code java.library.path}. A library that cannot resolve the fields it
 * needs makes the class fail to initialize, with a {@link DevException} of
 * code {@value DevException#DEV_INIT_FAILED} as the cause.
 *
 * <p>Failures are raised as {@link DevException}. Its code is the controller
 * library's own result, unchanged, or one of the bridge's codes:
 * {@value DevException#DEV_ERROR} when a Java value cannot be converted (a
 * {@code null} object, string, array or array element; a string or array the
 * virtual machine cannot hand out), {@value DevException#DEV_OUT_OF_MEMORY}
 * when a native record or buffer cannot be allocated. Output objects are left
 * unchanged when the library call fails.
 *
 * <p>Texts given to the library inside a record (device port and name, show
 * comment and signature, trigger file name) are cut to 255 UTF-16 units;
 * texts given as arguments (show, directory and file names) go whole.
 *
 * <p>Each object holds at most one open controller. Not thread safe: the
 * device handle lives in the object and nothing serialises calls on it.
 */
public class Lumidrive {
    /** System property naming the native library file to load instead of {@code libJNILumidrive}. */
    public static final String LIBRARY_PROPERTY = "lumivex.jnilumidrive";

    /** Handle of the open controller; -1 while no controller is open. Written by the native library. */
    private int devID = -1;

    static {
        loadNativeLibrary();
        initializeBridge();
    }

    private static void loadNativeLibrary() {
        String file = System.getProperty(LIBRARY_PROPERTY);
        if (file != null && !file.isEmpty()) {
            System.load(file);
        } else {
            System.loadLibrary("JNILumidrive");
        }
    }

    private static void initializeBridge() {
        try {
            initIDs();
        } catch (DevException e) {
            throw new ExceptionInInitializerError(e);
        }
    }

    /**
     * Resolves and caches the Java fields the native library uses. Called once
     * while this class initializes.
     *
     * @throws DevException code {@value DevException#DEV_INIT_FAILED} when a class or field cannot be resolved
     */
    private static native void initIDs() throws DevException;

    /** Creates an object with no controller open. */
    public Lumidrive() {
    }

    /**
     * Tells whether this object holds an open controller.
     *
     * @return true between a successful {@link #openDevice(DevEntry)} and a successful {@link #closeDevice()}
     */
    public boolean isOpen() {
        return devID != -1;
    }

    // ---- Library revision and capabilities ----

    /**
     * Returns the major revision of the controller library.
     *
     * @return the library's value, unchanged
     */
    public static native int getLibraryMajorRevision();

    /**
     * Returns the minor revision of the controller library.
     *
     * @return the library's value, unchanged
     */
    public static native int getLibraryMinorRevision();

    /**
     * Returns the build revision of the controller library.
     *
     * @return the library's value, unchanged
     */
    public static native int getLibraryBuildRevision();

    /**
     * Tells whether controllers of a device class can play frames live.
     *
     * @param deviceClasses a device-class value such as {@link DevEntry#deviceClasses}
     * @return the library's answer
     */
    public static native boolean supportsLivePlay(int deviceClasses);

    /**
     * Tells whether controllers of a device class can start and stop playback.
     *
     * @param deviceClasses a device-class value such as {@link DevEntry#deviceClasses}
     * @return the library's answer
     */
    public static native boolean supportsPlayBackControl(int deviceClasses);

    /**
     * Tells whether controllers of a device class can store shows and hand them back.
     *
     * @param deviceClasses a device-class value such as {@link DevEntry#deviceClasses}
     * @return the library's answer
     */
    public static native boolean supportsPlayBackConfig(int deviceClasses);

    /**
     * Tells whether controllers of a device class can record.
     *
     * @param deviceClasses a device-class value such as {@link DevEntry#deviceClasses}
     * @return the library's answer
     */
    public static native boolean supportsRecord(int deviceClasses);

    // ---- Discovery and access ----

    /**
     * Starts the enumeration of the attached controllers and reports the first.
     * The position is kept by the library, for the whole process.
     *
     * @param entry filled with the first controller; untouched unless 0 is returned
     * @return 0 when {@code entry} was filled, 2 when no controller is attached
     * @throws DevException the library's code for any other failure; 1 when {@code entry} is null or a text cannot become a Java string
     */
    public static native int getFirstDevice(DevEntry entry) throws DevException;

    /**
     * Reports the next attached controller of the enumeration.
     *
     * @param entry filled with the next controller; untouched unless 0 is returned
     * @return 0 when {@code entry} was filled, 2 when no controller is left
     * @throws DevException the library's code for any other failure; 1 when {@code entry} is null or a text cannot become a Java string
     */
    public static native int getNextDevice(DevEntry entry) throws DevException;

    /**
     * Opens the controller that {@code entry} names on this object.
     *
     * @param entry a controller, normally one an enumeration reported
     * @throws DevException 1 when this object already has a controller open (the library is not called),
     *                      when {@code entry} or one of its texts is null, or a text cannot be read;
     *                      the library's code when it cannot open the controller
     */
    public native void openDevice(DevEntry entry) throws DevException;

    /**
     * Closes this object's controller. The handle goes to the library unexamined,
     * so closing an object with no controller open is the library's to judge.
     *
     * @throws DevException the library's code; the object then still counts as open
     */
    public native void closeDevice() throws DevException;

    /**
     * Reads the information of this object's controller.
     *
     * @param info filled with the controller's information; untouched when the library fails
     * @throws DevException the library's code; 1 when {@code info} is null or the revision cannot become a Java string;
     *                      10 when the native record cannot be allocated
     */
    public native void getDeviceInfo(DevInfo info) throws DevException;

    /**
     * Reads the state of this object's controller.
     *
     * @param state filled with the controller's state; untouched when the library fails
     * @throws DevException the library's code; 1 when {@code state} is null
     */
    public native void getDeviceState(DevState state) throws DevException;

    // ---- Live play ----

    /**
     * Starts live play on this object's controller.
     *
     * @throws DevException the library's code
     */
    public native void startLivePlay() throws DevException;

    /**
     * Sends one frame to this object's controller during live play. The channel
     * count is the length of {@code frame.dmxData}; each value travels as its low
     * 8 bits. The frame is not changed.
     *
     * @param frame the frame to send
     * @throws DevException the library's code; 1 when {@code frame} or its data is null or the data cannot be read;
     *                      10 when the native frame cannot be allocated
     */
    public native void sendFrame(DMXFrame frame) throws DevException;

    /**
     * Ends live play on this object's controller.
     *
     * @throws DevException the library's code
     */
    public native void stopLivePlay() throws DevException;

    // ---- Show upload ----

    /**
     * Starts storing a show on this object's controller.
     *
     * @param name      the show's file name on the controller, given whole
     * @param header    the show's header
     * @param overwrite passed to the library, which decides its meaning
     * @throws DevException the library's code; 1 when a string cannot be read or is null, or {@code header} is null;
     *                      10 when the native header cannot be allocated
     */
    public native void createFile(String name, ShowtapeHeader header, boolean overwrite) throws DevException;

    /**
     * Writes a batch of frames into the show being stored.
     *
     * @param frames the frames, in order; an empty array writes none
     * @throws DevException the library's code; 1 when the array, an element or its data is null or cannot be read;
     *                      10 when native frames cannot be allocated
     */
    public native void writeFrames(DMXFrame[] frames) throws DevException;

    /**
     * Ends the show being stored.
     *
     * @throws DevException the library's code
     */
    public native void closeFile() throws DevException;

    /**
     * Starts a test upload: the same input as {@link #createFile(String, ShowtapeHeader, boolean)},
     * but nothing is stored.
     *
     * @param name      the show's file name on the controller, given whole
     * @param header    the show's header
     * @param overwrite passed to the library, which decides its meaning
     * @throws DevException as {@link #createFile(String, ShowtapeHeader, boolean)}
     */
    public native void createTestFile(String name, ShowtapeHeader header, boolean overwrite) throws DevException;

    /**
     * Writes a batch of frames into the test upload.
     *
     * @param frames the frames, in order
     * @throws DevException as {@link #writeFrames(DMXFrame[])}
     */
    public native void writeTestFrames(DMXFrame[] frames) throws DevException;

    /**
     * Ends the test upload and reports whether the show would fit and its size.
     *
     * @param result filled with the verdict; untouched when the library fails
     * @throws DevException the library's code; 1 when {@code result} is null
     */
    public native void closeTestFile(DevTestWrite result) throws DevException;

    // ---- File store and playback ----

    /**
     * Returns the free space of this object's controller.
     *
     * @return the free space, in the library's units
     * @throws DevException the library's code
     */
    public native long getFreeSpace() throws DevException;

    /**
     * Starts listing a directory of the controller's file store.
     *
     * @param directory the directory to list, given whole ("." for the top)
     * @param entry     filled with the first entry; untouched unless 0 is returned
     * @return 0 when {@code entry} was filled; 2 when the directory is empty; 1 when the directory cannot be read
     *         or the name cannot become a Java string; 10 when the native entry cannot be allocated
     * @throws DevException the library's code for any failure other than 2; 1 when {@code directory} or
     *                      {@code entry} is null (the library is not called)
     */
    public native int getFirstFile(String directory, DevFileEntry entry) throws DevException;

    /**
     * Reports the next entry of the listing.
     *
     * @param entry filled with the next entry; untouched unless 0 is returned
     * @return 0 when {@code entry} was filled; 2 when no entry is left; 1 when the name cannot become a Java string;
     *         10 when the native entry cannot be allocated
     * @throws DevException the library's code for any failure other than 2; 1 when {@code entry} is null
     *                      (the library is not called)
     */
    public native int getNextFile(DevFileEntry entry) throws DevException;

    /**
     * Deletes a file of the controller's store, reporting progress to a listener.
     *
     * <p>The listener belongs to this call alone: deletes running at the same
     * time on other threads report to their own listeners, and it is never
     * called after this method returns. If the listener throws, it hears no
     * further progress, the library still completes (or fails) the delete,
     * and this method throws the listener's exception; when the library
     * fails as well, its {@link DevException} is attached to that exception
     * as suppressed ({@link Throwable#getSuppressed()}).
     *
     * @param name     the file to delete, given whole
     * @param listener receives the progress on this thread during the call; may be null
     * @throws DevException the library's code; 1 when {@code name} is null or cannot be read
     */
    public native void deleteFile(String name, DeleteListener listener) throws DevException;

    /**
     * Opens a stored show for reading and reports its header.
     *
     * @param name   the show to open, given whole
     * @param header filled with the show's header; untouched when the library fails
     * @throws DevException the library's code; 1 when {@code name} or {@code header} is null, the name cannot be read
     *                      or a header text cannot become a Java string; 10 when the native header cannot be allocated
     */
    public native void openFile(String name, ShowtapeHeader header) throws DevException;

    /**
     * Reads the next frame of the open stored show into an existing frame. Every
     * element of {@code frame.dmxData} receives a channel value from 0 to 255;
     * the array keeps its length. Elements past the frame's channels, and past
     * the first 2048, receive 0.
     *
     * @param frame filled with the next frame; untouched unless 0 is returned
     * @return 0 when {@code frame} was filled; 2 when the show has no further frame;
     *         10 when the native frame cannot be allocated
     * @throws DevException the library's code for any failure other than 2; 1 when {@code frame} or its data is
     *                      null (the library is not called, so no frame is used up) or the data cannot be written
     */
    public native int readFrame(DMXFrame frame) throws DevException;

    /**
     * Starts the controller playing a stored show.
     *
     * @param name the show to play, given whole
     * @throws DevException the library's code; 1 when {@code name} is null or cannot be read
     */
    public native void startPlayback(String name) throws DevException;

    /**
     * Stops playback.
     *
     * @throws DevException the library's code
     */
    public native void stopPlayback() throws DevException;

    // ---- Triggers ----

    /**
     * Starts writing the controller's trigger table.
     *
     * @throws DevException the library's code
     */
    public native void createTriggers() throws DevException;

    /**
     * Adds a trigger and its action to the table being written.
     *
     * @param trigger the trigger's condition
     * @param action  what the trigger does
     * @throws DevException the library's code; 1 when an argument or the action's file name is null or cannot be read
     */
    public native void setTrigger(DevTrigger trigger, DevTriggerAction action) throws DevException;

    /**
     * Ends writing the trigger table.
     *
     * @throws DevException the library's code
     */
    public native void closeTriggers() throws DevException;

    /**
     * Starts the enumeration of the trigger table and reports the first trigger.
     *
     * @param trigger filled with the trigger's condition; untouched unless 0 is returned
     * @param action  filled with its action; untouched unless 0 is returned
     * @return 0 when both were filled, 2 when the table is empty
     * @throws DevException the library's code for any failure other than 2; 1 when an argument is null or the
     *                      file name cannot become a Java string; 10 when native records cannot be allocated
     */
    public native int getFirstTrigger(DevTrigger trigger, DevTriggerAction action) throws DevException;

    /**
     * Reports the next trigger of the table.
     *
     * @param trigger filled with the trigger's condition; untouched unless 0 is returned
     * @param action  filled with its action; untouched unless 0 is returned
     * @return 0 when both were filled, 2 when no trigger is left
     * @throws DevException as {@link #getFirstTrigger(DevTrigger, DevTriggerAction)}
     */
    public native int getNextTrigger(DevTrigger trigger, DevTriggerAction action) throws DevException;

    /**
     * Reads the controller's trigger header.
     *
     * @param header filled with the four bytes, each from 0 to 255; untouched when the library fails
     * @throws DevException the library's code; 1 when {@code header} is null
     */
    public native void getTriggerHeader(DevTriggerHeader header) throws DevException;

    /**
     * Writes the controller's trigger header; each field travels as its low 8 bits.
     *
     * @param header the four bytes
     * @throws DevException the library's code; 1 when {@code header} is null; 10 when the native record cannot be allocated
     */
    public native void setTriggerHeader(DevTriggerHeader header) throws DevException;
}
