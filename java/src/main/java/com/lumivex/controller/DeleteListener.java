package com.lumivex.controller;

/**
 * Receives the progress of {@link Lumidrive#deleteFile(String, DeleteListener)}.
 *
 * <p>The native library calls {@link #deleteCallback(int, int)} on the thread
 * that called {@code deleteFile}, while that call runs.
 */
public interface DeleteListener {
    /**
     * Reports the progress of a delete.
     *
     * @param done  the progress so far, as the controller library counts it
     * @param total the progress at completion, as the controller library counts it
     */
    void deleteCallback(int done, int total);
}
