package com.lumivex.bench;

/**
 * Reference natives of the per-frame benchmark (libLumivexBench): an empty
 * call, and the steps of a bridge's frame conversion one by one.
 */
final class Native {
    static {
        System.loadLibrary("LumivexBench");
    }

    private Native() {
    }

    static native void nop();

    static native void nopFrame(Object frame);

    static native int elements(int[] data);

    static native int elementsAbort(int[] data);

    static native int convertCached(Object frame);

    static native int convertLookup(Object frame);
}
