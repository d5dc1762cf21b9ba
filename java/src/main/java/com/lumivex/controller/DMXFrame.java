package com.lumivex.controller;

/**
 * One DMX512 frame.
 *
 * <p>The length of {@link #dmxData} is the frame's channel count. Each element
 * is one channel value; when a frame is sent only its low 8 bits travel (256
 * is sent as 0, -1 as 255), and a frame read back holds values from 0 to 255.
 * A read fills the existing array in place and never changes its length, so
 * one object can be reused for a whole show.
 */
public class DMXFrame {
    /** DMX512 start code of the frame. */
    public int startCode;
    /** Time code of the frame, as the libraries define it. */
    public int timeCode;
    /** The channel values, one per channel. */
    public int[] dmxData;

    /** Creates a frame with no channels. */
    public DMXFrame() {
        this(0);
    }

    /**
     * Creates a frame of {@code channels} channels, all 0.
     *
     * @param channels the number of channels
     */
    public DMXFrame(int channels) {
        dmxData = new int[channels];
    }

    /**
     * Creates a frame from its values.
     *
     * @param startCode the start code
     * @param timeCode  the time code
     * @param dmxData   the channel values (kept, not copied)
     */
    public DMXFrame(int startCode, int timeCode, int[] dmxData) {
        this.startCode = startCode;
        this.timeCode = timeCode;
        this.dmxData = dmxData;
    }
}
