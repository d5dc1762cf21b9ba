package com.lumivex.lumictl;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.Writer;

/**
 * The show format of the Open Lighting Architecture's recorder: a first line
 * {@code OLA Show}, then a frame line {@code universe v1,v2,...} (0 to 512
 * channel values, 0 to 255) and a delay line (milliseconds until the next
 * frame, 0 to 4294967295), alternating. A delay after the last frame is
 * allowed; a blank line ends the show for the recorder's own player.
 */
final class OlaShow {
    static final String FIRST_LINE = "OLA Show";
    /** Channels of a universe. */
    static final int MAX_CHANNELS = 512;
    /** Largest delay the recorder reads (an unsigned 32-bit number). */
    static final long MAX_DELAY = 0xFFFFFFFFL;

    private OlaShow() {
    }

    // ---- Writing ----

    static void writeFirstLine(Writer out) throws IOException {
        out.write(FIRST_LINE);
        out.write('\n');
    }

    /** Writes {@code universe v1,v2,...} for the first {@code width} values of {@code data}. */
    static void writeFrame(Writer out, StringBuilder scratch, long universe, int[] data) throws IOException {
        scratch.setLength(0);
        scratch.append(universe).append(' ');
        for (int i = 0; i < data.length; ++i) {
            if (i > 0) scratch.append(',');
            scratch.append(data[i] & 0xFF);
        }
        scratch.append('\n');
        out.append(scratch);
    }

    static void writeDelay(Writer out, long millis) throws IOException {
        out.write(Long.toString(millis));
        out.write('\n');
    }

    // ---- Reading ----

    /** What a reader reports, line by line. */
    interface Visitor {
        /** A frame of {@code count} values in {@code values}, at {@code time} ms after the first line. */
        void frame(int line, long universe, int[] values, int count, long time);
    }

    /** The shape of a whole show, as {@link #read} found it. */
    static final class Summary {
        long frames;
        /** Time after the last delay line, or -1 when the last entry is a frame line. */
        long endTime = -1;
    }

    /**
     * Reads a whole show, checking every line, and hands each frame to
     * {@code visitor}. A mistake fails with "NAME:LINE: what is wrong".
     */
    static Summary read(BufferedReader in, String name, Visitor visitor) throws IOException {
        Summary s = new Summary();
        int[] values = new int[MAX_CHANNELS];
        String first = in.readLine();
        if (first == null || !stripCr(first).equals(FIRST_LINE)) {
            throw new Failure(name + ":1: not an OLA show (the first line is not '" + FIRST_LINE + "')");
        }
        int line = 1;
        long time = 0;
        boolean expectFrame = true;
        for (String raw = in.readLine(); raw != null; raw = in.readLine()) {
            ++line;
            String text = stripCr(raw);
            if (text.isEmpty()) {
                // The recorder's own player stops at a blank line; refuse one that would hide frames.
                int blank = line;
                for (String rest = in.readLine(); rest != null; rest = in.readLine()) {
                    ++line;
                    if (!stripCr(rest).strip().isEmpty()) {
                        throw new Failure(name + ":" + blank + ": a blank line inside the show (OLA's player stops "
                                + "there; line " + line + " has more)");
                    }
                }
                break;
            }
            if (expectFrame) {
                int space = text.indexOf(' ');
                if (space < 0) throw new Failure(name + ":" + line + ": expected 'universe v1,v2,...'");
                long universe = unsigned(text, 0, space, MAX_DELAY);
                if (universe < 0) throw new Failure(name + ":" + line + ": the universe is not a number from 0 to "
                        + MAX_DELAY);
                int count = parseValues(text, space + 1, values, name, line);
                visitor.frame(line, universe, values, count, time);
                ++s.frames;
                s.endTime = -1;
            } else {
                long delay = unsigned(text, 0, text.length(), MAX_DELAY);
                if (delay < 0) {
                    throw new Failure(name + ":" + line + ": expected a delay in milliseconds (0 to " + MAX_DELAY
                            + "), got '" + text + "'");
                }
                time += delay;
                s.endTime = time;
            }
            expectFrame = !expectFrame;
        }
        return s;
    }

    private static String stripCr(String s) {
        return s.endsWith("\r") ? s.substring(0, s.length() - 1) : s;
    }

    /** The decimal number in s[from, to), or -1 when it is not one or is above max. */
    private static long unsigned(String s, int from, int to, long max) {
        if (from >= to || to - from > 19) return -1;
        long v = 0;
        for (int i = from; i < to; ++i) {
            char c = s.charAt(i);
            if (c < '0' || c > '9') return -1;
            v = v * 10 + (c - '0');
            if (v > max) return -1;
        }
        return v;
    }

    private static int parseValues(String s, int from, int[] values, String name, int line) {
        if (from >= s.length()) return 0;
        int count = 0;
        int value = -1;
        for (int i = from; i <= s.length(); ++i) {
            char c = i < s.length() ? s.charAt(i) : ',';
            if (c >= '0' && c <= '9') {
                value = (value < 0 ? 0 : value * 10) + (c - '0');
                if (value > 255) {
                    throw new Failure(name + ":" + line + ": channel " + (count + 1) + " is above 255");
                }
            } else if (c == ',') {
                if (value < 0) throw new Failure(name + ":" + line + ": channel " + (count + 1) + " has no value");
                if (count == MAX_CHANNELS) {
                    throw new Failure(name + ":" + line + ": more than " + MAX_CHANNELS + " channels");
                }
                values[count++] = value;
                value = -1;
            } else {
                throw new Failure(name + ":" + line + ": '" + c + "' in the channel values (expected digits and "
                        + "commas)");
            }
        }
        return count;
    }
}
