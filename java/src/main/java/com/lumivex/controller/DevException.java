package com.lumivex.controller;

/**
 * A failure reported by the controller or show-file bridge, carrying a
 * result code.
 *
 * <p>The code is either the controller or show-file library's own result,
 * passed on unchanged, or one of the bridges' own codes:
 * {@value #DEV_ERROR} (a Java value could not be converted, for example a
 * {@code null} where an object, string or array is required, or a device is
 * already open), {@value #DEV_OUT_OF_MEMORY} (a native record or buffer could
 * not be allocated), {@value #DEV_FILE_ALREADY_OPEN} and
 * {@value #DEV_FILE_NOT_OPEN} (show files), and {@value #DEV_INIT_FAILED} (the
 * native library could not resolve a Java class or field it needs).
 *
 * <p>The bridges construct this class through its {@code (int)} constructor.
 */
public class DevException extends Exception {
    private static final long serialVersionUID = 1L;

    /** General failure: a Java value could not be converted or an object is in the wrong state. */
    public static final int DEV_ERROR = 1;
    /** An enumeration or a show has nothing more. Returned, never raised, by the reading methods. */
    public static final int DEV_NO_MORE_DATA = 2;
    /** A native record or buffer could not be allocated. */
    public static final int DEV_OUT_OF_MEMORY = 10;
    /** The show-file object already holds an open show file. */
    public static final int DEV_FILE_ALREADY_OPEN = 28;
    /** The show-file object holds no open show file. */
    public static final int DEV_FILE_NOT_OPEN = 29;
    /** The native library could not resolve a Java class or field it relies on. */
    public static final int DEV_INIT_FAILED = 31;

    /** The result code this exception carries. */
    private final int code;

    /**
     * Creates an exception for a result code.
     *
     * @param code the library's result code or a bridge code
     */
    public DevException(int code) {
        super("device operation failed with code " + code);
        this.code = code;
    }

    /**
     * Returns the result code this exception carries.
     *
     * @return the library's result code, unchanged, or a bridge code
     */
    public int getCode() {
        return code;
    }
}
