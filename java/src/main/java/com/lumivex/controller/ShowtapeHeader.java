package com.lumivex.controller;

/**
 * The description of a show: filled when a stored show or a show file is
 * opened, and given when one is created.
 *
 * <p>{@link #totalFrames} is 32 bits wide in the native record: only its low
 * 32 bits are stored, and it reads back sign-extended. The two texts are
 * stored cut to 255 UTF-16 units.
 */
public class ShowtapeHeader {
    /** Whether the show plays at a constant frame rate. */
    public boolean constantFrameRate;
    /** Whether the show loops. */
    public boolean loopShow;
    /** Date of the show, as the libraries define it. */
    public long date;
    /** Comment text. */
    public String commentField = "";
    /** Frame rate, in frames per second. */
    public double frameRate;
    /** Number of channels of each frame. */
    public int numberChannels;
    /** Number of frames of the show (32 bits in the native record). */
    public long totalFrames;
    /** Effect signature text. */
    public String effectSignature = "";

    /** Creates an empty header. */
    public ShowtapeHeader() {
    }
}
