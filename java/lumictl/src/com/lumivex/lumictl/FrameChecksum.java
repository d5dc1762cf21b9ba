package com.lumivex.lumictl;

import com.lumivex.controller.DMXFrame;
import java.util.zip.CRC32C;

/**
 * A running checksum over frames as they travel: for each frame its start
 * code, time code and channel count (little-endian 32 bits each) and one byte
 * per channel (the low 8 bits of each value, as the bridges send it). Two
 * sequences of frames that differ anywhere give different values except by
 * chance (CRC-32C), and the count catches lost or repeated frames.
 *
 * <p>Not thread safe. Allocates nothing per frame.
 */
final class FrameChecksum {
    private final CRC32C crc = new CRC32C();
    private byte[] scratch = new byte[12 + 512];
    private long frames;

    void add(DMXFrame frame) {
        int[] data = frame.dmxData;
        int n = data.length;
        if (scratch.length < 12 + n) scratch = new byte[12 + n];
        putInt(0, frame.startCode);
        putInt(4, frame.timeCode);
        putInt(8, n);
        for (int i = 0; i < n; ++i) scratch[12 + i] = (byte) data[i];
        crc.update(scratch, 0, 12 + n);
        ++frames;
    }

    long frames() {
        return frames;
    }

    long value() {
        return crc.getValue();
    }

    private void putInt(int at, int v) {
        scratch[at] = (byte) v;
        scratch[at + 1] = (byte) (v >>> 8);
        scratch[at + 2] = (byte) (v >>> 16);
        scratch[at + 3] = (byte) (v >>> 24);
    }
}
