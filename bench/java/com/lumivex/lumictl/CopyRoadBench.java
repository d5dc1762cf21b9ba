package com.lumivex.lumictl;

import com.lumivex.controller.DMXFrame;
import com.lumivex.controller.DevException;
import com.lumivex.controller.ShowtapeHeader;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Locale;

/**
 * The copy road of {@code lumictl save}, timed: a show stored on a controller
 * goes frame by frame (controller readFrame into show-file writeDMXFrame, one
 * frame object with one 512-channel array) into a show file, through the
 * same code as the tool ({@link ShowCopy#copy}). Prints one line of
 * {@code key=value} pairs: frames, bytes, the time of the frame loop and of
 * the whole copy (open to durable close), their rates, and the peak resident
 * memory of the process (VmHWM) with the Java heap in use.
 *
 * <p>Lives in lumictl's package to call the tool's own copy code.
 *
 * <p>Usage: {@code CopyRoadBench [--checksum] SHOW OUT.dmx}, on the first
 * controller that stores shows; {@code --checksum} adds the running checksum
 * that {@code lumictl save} keeps for its verification.
 */
public final class CopyRoadBench {
    private CopyRoadBench() {
    }

    /**
     * Copies SHOW into OUT.dmx and prints the measurements.
     *
     * @param args [--checksum] SHOW OUT.dmx
     * @throws Exception when the copy fails
     */
    public static void main(String[] args) throws Exception {
        boolean checksum = args[0].equals("--checksum");
        String show = args[checksum ? 1 : 0];
        String out = args[checksum ? 2 : 1];
        long start;
        long loopStart;
        long loopEnd;
        long end;
        long frames;
        try (Controllers.Open c = Controllers.open(new Controllers.Choice(), Controllers.Need.STORE)) {
            start = System.nanoTime();
            ShowtapeHeader header = new ShowtapeHeader();
            c.device.openFile(show, header);
            ShowFile.Writer w = ShowFile.Writer.create(out, show, header, true);
            DMXFrame frame = new DMXFrame(ShowCopy.frameWidth(header, show));
            loopStart = System.nanoTime();
            frames = ShowCopy.copy(c.device, frame, w, checksum ? new FrameChecksum() : null, null);
            loopEnd = System.nanoTime();
            c.device.closeFile();
            w.commit();
            end = System.nanoTime();
        } catch (DevException e) {
            throw new IllegalStateException("copy failed: " + Codes.describe(e), e);
        }
        long bytes = Files.size(Path.of(out));
        double loop = (loopEnd - loopStart) / 1e9;
        double total = (end - start) / 1e9;
        Runtime rt = Runtime.getRuntime();
        System.out.printf(Locale.ROOT, "frames=%d bytes=%d loop_s=%.3f total_s=%.3f loop_fps=%.0f loop_MBps=%.1f "
                + "total_fps=%.0f total_MBps=%.1f vmhwm_kB=%d heap_used_kB=%d heap_committed_kB=%d%n",
                frames, bytes, loop, total, frames / loop, bytes / loop / 1e6, frames / total,
                bytes / total / 1e6, status("VmHWM"), (rt.totalMemory() - rt.freeMemory()) / 1024,
                rt.totalMemory() / 1024);
    }

    /** A "kB" value of /proc/self/status, or -1. */
    static long status(String key) throws IOException {
        for (String line : Files.readAllLines(Path.of("/proc/self/status"))) {
            if (line.startsWith(key + ":")) {
                return Long.parseLong(line.substring(key.length() + 1).replace("kB", "").trim());
            }
        }
        return -1;
    }
}
