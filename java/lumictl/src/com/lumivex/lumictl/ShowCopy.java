package com.lumivex.lumictl;

import com.lumivex.controller.DMXFrame;
import com.lumivex.controller.DevException;
import com.lumivex.controller.Lumidrive;
import com.lumivex.controller.ShowtapeHeader;
import java.util.ArrayList;
import java.util.List;

/**
 * The copy road of {@code lumictl save}: the frames of a show open on a
 * controller go one at a time through one {@link DMXFrame} with one channel
 * array into a show file. Nothing is kept per frame, so memory does not grow
 * with the show.
 */
final class ShowCopy {
    /** Widest frame the controller library hands back. */
    static final int MAX_CONTROLLER_CHANNELS = 512;

    private ShowCopy() {
    }

    /**
     * The channel count every frame of a stored show is read with: the
     * header's {@code numberChannels}. The controller bridge fills the whole
     * channel array and does not say how many channels a frame has.
     */
    static int frameWidth(ShowtapeHeader header, String show) {
        int width = header.numberChannels;
        if (width < 0 || width > MAX_CONTROLLER_CHANNELS) {
            throw new Failure("show \"" + show + "\": the header's channel count " + width + " is outside 0.."
                    + MAX_CONTROLLER_CHANNELS + ", so the width of its frames is unknown");
        }
        return width;
    }

    /**
     * Reads frames from the show open on {@code device} (after
     * {@code openFile}) until the controller reports the end, writing each one
     * to {@code out}. {@code checksum} and {@code progress} may be null.
     *
     * @return the number of frames copied
     * @throws Failure when a frame cannot be read or written, or on Ctrl+C;
     *                 the message says which frame
     */
    static long copy(Lumidrive device, DMXFrame frame, ShowFile.Writer out, FrameChecksum checksum,
            Progress progress) {
        long copied = 0;
        while (true) {
            if ((copied & 255) == 0) Cancellation.check();
            int r;
            try {
                r = device.readFrame(frame);
            } catch (DevException e) {
                throw Failure.of("reading frame " + (copied + 1) + " from the controller failed", e);
            }
            if (r == DevException.DEV_NO_MORE_DATA) return copied;
            if (r != 0) {
                throw new Failure("reading frame " + (copied + 1) + " from the controller failed: " + Codes.describe(r));
            }
            out.write(frame);
            if (checksum != null) checksum.add(frame);
            ++copied;
            if (progress != null) progress.update(copied);
        }
    }

    /** The fields in which two headers differ, e.g. "frameRate 40.0 / 44.0"; empty when equal. */
    static List<String> headerDifferences(ShowtapeHeader a, ShowtapeHeader b) {
        List<String> d = new ArrayList<>();
        if (a.constantFrameRate != b.constantFrameRate) d.add(diff("constantFrameRate", a.constantFrameRate, b.constantFrameRate));
        if (a.loopShow != b.loopShow) d.add(diff("loopShow", a.loopShow, b.loopShow));
        if (a.date != b.date) d.add(diff("date", a.date, b.date));
        if (!a.commentField.equals(b.commentField)) d.add(diff("commentField", a.commentField, b.commentField));
        if (Double.doubleToRawLongBits(a.frameRate) != Double.doubleToRawLongBits(b.frameRate)) {
            d.add(diff("frameRate", a.frameRate, b.frameRate));
        }
        if (a.numberChannels != b.numberChannels) d.add(diff("numberChannels", a.numberChannels, b.numberChannels));
        if (a.totalFrames != b.totalFrames) d.add(diff("totalFrames", a.totalFrames, b.totalFrames));
        if (!a.effectSignature.equals(b.effectSignature)) {
            d.add(diff("effectSignature", a.effectSignature, b.effectSignature));
        }
        return d;
    }

    private static String diff(String field, Object a, Object b) {
        return field + " " + a + " / " + b;
    }
}
