package com.lumivex.bench;

import com.lumivex.controller.DMXFrame;
import com.lumivex.controller.DevEntry;
import com.lumivex.controller.DevException;
import com.lumivex.controller.Lumidrive;
import com.lumivex.controller.Showtape;
import com.lumivex.controller.ShowtapeHeader;
import java.io.BufferedInputStream;
import java.io.BufferedOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Locale;
import java.util.zip.CRC32;

/**
 * The cost of one 512-channel frame through the two bridges, in one JVM:
 * sendFrame, writeFrames in batches, readFrame, writeDMXFrame and
 * readDMXFrame, beside an empty native call, the steps of a bridge's frame
 * conversion one by one, and a pure-Java baseline that converts the same ints
 * to bytes and writes or reads them through a buffered stream.
 *
 * <p>Runs on the controller simulator's built-in controllers
 * (LUMIDRIVE_SIM_DIR unset) and temporary files in a folder given on the
 * command line. Each operation is timed over ROUNDS rounds of FRAMES frames
 * after two rounds of warm-up; the table gives the median and the best round.
 *
 * <p>Usage: {@code FrameBench FOLDER [--frames N] [--rounds R] [--only TEXT]}; with
 * {@code --only}, only the operations whose names contain TEXT are timed (for
 * profiling one of them).
 */
public final class FrameBench {
    private static final int CHANNELS = 512;
    private static final int RECORD = 12 + CHANNELS;

    private final Path folder;
    private final int frames;
    private final int rounds;
    private final String only;
    private final List<String[]> table = new ArrayList<>();
    private final DMXFrame frame = new DMXFrame(CHANNELS);
    private double emptyCall;

    /** One timed round: performs {@code n} operations and returns the nanoseconds they took. */
    private interface Round {
        long run(int n) throws Exception;
    }

    private FrameBench(Path folder, int frames, int rounds, String only) {
        this.folder = folder;
        this.frames = frames;
        this.rounds = rounds;
        this.only = only;
        for (int i = 0; i < CHANNELS; ++i) frame.dmxData[i] = (i * 7) & 0xFF;
    }

    /**
     * Runs the benchmark and prints the table.
     *
     * @param args FOLDER [--frames N] [--rounds R] [--only TEXT]
     * @throws Exception when a bridge or a file fails
     */
    public static void main(String[] args) throws Exception {
        Path folder = Path.of(args[0]);
        int frames = 20000;
        int rounds = 7;
        String only = "";
        for (int i = 1; i + 1 < args.length; i += 2) {
            if (args[i].equals("--frames")) frames = Integer.parseInt(args[i + 1]);
            if (args[i].equals("--rounds")) rounds = Integer.parseInt(args[i + 1]);
            if (args[i].equals("--only")) only = args[i + 1];
        }
        // Batches of up to 256 frames divide the rounds.
        frames = Math.max(256, frames / 256 * 256);
        new FrameBench(folder, frames, rounds, only).run();
    }

    private void run() throws Exception {
        System.out.printf(Locale.ROOT, "Per 512-channel frame: median (best) of %d rounds of %d frames, after 2 "
                + "rounds of warm-up%n%n", rounds, frames);
        time("empty native call", n -> {
            long t = System.nanoTime();
            for (int i = 0; i < n; ++i) Native.nop();
            return System.nanoTime() - t;
        });
        emptyCall = median;
        time("empty native call with a frame argument", n -> {
            long t = System.nanoTime();
            for (int i = 0; i < n; ++i) Native.nopFrame(frame);
            return System.nanoTime() - t;
        });
        time("controller bridge: supportsLivePlay (no conversion)", n -> {
            long t = System.nanoTime();
            for (int i = 0; i < n; ++i) Lumidrive.supportsLivePlay(i);
            return System.nanoTime() - t;
        });
        time("JNI: Get/ReleaseIntArrayElements, mode 0, 512 ints", n -> {
            long t = System.nanoTime();
            for (int i = 0; i < n; ++i) Native.elements(frame.dmxData);
            return System.nanoTime() - t;
        });
        time("JNI: Get/ReleaseIntArrayElements, JNI_ABORT", n -> {
            long t = System.nanoTime();
            for (int i = 0; i < n; ++i) Native.elementsAbort(frame.dmxData);
            return System.nanoTime() - t;
        });
        time("frame conversion alone, cached field IDs", n -> {
            long t = System.nanoTime();
            for (int i = 0; i < n; ++i) Native.convertCached(frame);
            return System.nanoTime() - t;
        });
        time("frame conversion alone, field IDs looked up", n -> {
            long t = System.nanoTime();
            for (int i = 0; i < n; ++i) Native.convertLookup(frame);
            return System.nanoTime() - t;
        });
        controllerBridge();
        showFileBridge();
        javaBaseline();
        print();
    }

    // ---- Controller bridge, on the built-in controllers ----

    private void controllerBridge() throws DevException {
        List<DevEntry> all = new ArrayList<>();
        DevEntry e = new DevEntry();
        for (int r = Lumidrive.getFirstDevice(e); r == 0; r = Lumidrive.getNextDevice(e)) {
            all.add(e);
            e = new DevEntry();
        }
        Lumidrive live = new Lumidrive();
        live.openDevice(all.get(0));      // Lumivex LD-512
        Lumidrive store = new Lumidrive();
        store.openDevice(all.get(1));     // Lumivex LD-1024 Studio: 32 MiB store
        try {
            live.startLivePlay();
            time("sendFrame", n -> {
                long t = System.nanoTime();
                for (int i = 0; i < n; ++i) {
                    frame.timeCode = i;
                    live.sendFrame(frame);
                }
                return System.nanoTime() - t;
            });
            live.stopLivePlay();

            ShowtapeHeader h = header();
            // One show of each batch size at a time fits the 32 MiB store.
            for (int batch : new int[] {1, 16, 64, 256}) {
                if (!wanted("writeFrames, batches of " + batch)) continue;
                DMXFrame[] frames = new DMXFrame[batch];
                for (int i = 0; i < batch; ++i) frames[i] = new DMXFrame(0, i, frame.dmxData.clone());
                String name = "bench-" + batch;
                time("writeFrames, batches of " + batch, n -> {
                    store.createFile(name, h, true);
                    long t = System.nanoTime();
                    for (int i = 0; i < n; i += batch) store.writeFrames(frames);
                    long elapsed = System.nanoTime() - t;
                    store.closeFile();
                    return elapsed;
                });
                store.deleteFile(name, null);
            }
            if (wanted("readFrame")) readFrame(store, h);
        } finally {
            live.closeDevice();
            store.closeDevice();
        }
    }

    /** Reads a stored show of FRAMES frames, uploaded beforehand. */
    private void readFrame(Lumidrive store, ShowtapeHeader h) throws DevException {
        DMXFrame[] batch = new DMXFrame[64];
        for (int i = 0; i < batch.length; ++i) batch[i] = new DMXFrame(0, i, frame.dmxData.clone());
        store.createFile("bench-read", h, true);
        for (int i = 0; i < frames; i += batch.length) store.writeFrames(batch);
        store.closeFile();
        DMXFrame into = new DMXFrame(CHANNELS);
        time("readFrame", n -> {
            store.openFile("bench-read", new ShowtapeHeader());
            int failures = 0;
            long t = System.nanoTime();
            for (int i = 0; i < n; ++i) failures += store.readFrame(into);
            long elapsed = System.nanoTime() - t;
            store.closeFile();
            if (failures != 0) throw new IllegalStateException("readFrame did not return 0");
            return elapsed;
        });
        store.deleteFile("bench-read", null);
    }

    private static ShowtapeHeader header() {
        ShowtapeHeader h = new ShowtapeHeader();
        h.constantFrameRate = true;
        h.frameRate = 44;
        h.numberChannels = CHANNELS;
        h.commentField = "benchmark";
        return h;
    }

    // ---- Show-file bridge, on a temporary file ----

    private void showFileBridge() throws DevException {
        String path = folder.resolve("bench.dmx").toString();
        ShowtapeHeader h = header();
        time("writeDMXFrame", n -> {
            Showtape out = new Showtape();
            out.createShowtape(path, "bench", h, 0, true);
            long t = System.nanoTime();
            for (int i = 0; i < n; ++i) {
                frame.timeCode = i;
                out.writeDMXFrame(frame);
            }
            long elapsed = System.nanoTime() - t;
            out.closeShowtape();
            return elapsed;
        });
        DMXFrame into = new DMXFrame(CHANNELS);
        time("readDMXFrame", n -> {
            Showtape in = new Showtape();
            in.openShowtape(path, new ShowtapeHeader());
            long t = System.nanoTime();
            for (int i = 0; i < n; ++i) {
                if (in.readDMXFrame(into) != 0) throw new IllegalStateException("the show ended early");
            }
            long elapsed = System.nanoTime() - t;
            in.closeShowtape();
            return elapsed;
        });
    }

    // ---- Pure Java: the same ints as bytes through a buffered stream ----

    private void javaBaseline() {
        Path path = folder.resolve("bench.bin");
        for (boolean crc : new boolean[] {false, true}) {
            String suffix = crc ? ", with a CRC-32 per frame" : "";
            time("Java baseline: write" + suffix, n -> {
                byte[] record = new byte[RECORD];
                CRC32 sum = new CRC32();
                try (OutputStream out = new BufferedOutputStream(Files.newOutputStream(path), 1 << 16)) {
                    long t = System.nanoTime();
                    for (int i = 0; i < n; ++i) {
                        frame.timeCode = i;
                        toBytes(frame, record);
                        if (crc) {
                            sum.reset();
                            sum.update(record, 0, RECORD);
                        }
                        out.write(record);
                    }
                    return System.nanoTime() - t;
                }
            });
            DMXFrame into = new DMXFrame(CHANNELS);
            time("Java baseline: read" + suffix, n -> {
                byte[] record = new byte[RECORD];
                CRC32 sum = new CRC32();
                try (InputStream in = new BufferedInputStream(Files.newInputStream(path), 1 << 16)) {
                    long t = System.nanoTime();
                    for (int i = 0; i < n; ++i) {
                        if (in.readNBytes(record, 0, RECORD) != RECORD) throw new IOException("short read");
                        if (crc) {
                            sum.reset();
                            sum.update(record, 0, RECORD);
                        }
                        fromBytes(record, into);
                    }
                    return System.nanoTime() - t;
                }
            });
        }
    }

    private static void toBytes(DMXFrame f, byte[] b) {
        putInt(b, 0, f.startCode);
        putInt(b, 4, f.timeCode);
        putInt(b, 8, f.dmxData.length);
        for (int i = 0; i < CHANNELS; ++i) b[12 + i] = (byte) f.dmxData[i];
    }

    private static void fromBytes(byte[] b, DMXFrame f) {
        f.startCode = getInt(b, 0);
        f.timeCode = getInt(b, 4);
        for (int i = 0; i < CHANNELS; ++i) f.dmxData[i] = b[12 + i] & 0xFF;
    }

    private static void putInt(byte[] b, int at, int v) {
        b[at] = (byte) v;
        b[at + 1] = (byte) (v >>> 8);
        b[at + 2] = (byte) (v >>> 16);
        b[at + 3] = (byte) (v >>> 24);
    }

    private static int getInt(byte[] b, int at) {
        return (b[at] & 0xFF) | (b[at + 1] & 0xFF) << 8 | (b[at + 2] & 0xFF) << 16 | (b[at + 3] & 0xFF) << 24;
    }

    // ---- Timing and the table ----

    private double median;

    private boolean wanted(String name) {
        return name.contains(only) || name.equals("empty native call");
    }

    private void time(String name, Round round) {
        if (!wanted(name)) return;
        try {
            round.run(frames);
            round.run(frames);
            double[] perFrame = new double[rounds];
            for (int r = 0; r < rounds; ++r) perFrame[r] = (double) round.run(frames) / frames;
            Arrays.sort(perFrame);
            median = perFrame[rounds / 2];
            table.add(new String[] {name, String.format(Locale.ROOT, "%.1f", median),
                String.format(Locale.ROOT, "%.1f", perFrame[0]),
                emptyCall > 0 ? String.format(Locale.ROOT, "%.0f", median / emptyCall) : "1",
                String.format(Locale.ROOT, "%.0f", 1e9 / median)});
        } catch (Exception e) {
            throw new IllegalStateException(name + " failed: " + e, e);
        }
    }

    private void print() {
        table.add(0, new String[] {"operation", "ns/frame", "best", "x empty", "frames/s"});
        int[] w = new int[5];
        for (String[] row : table) {
            for (int c = 0; c < 5; ++c) w[c] = Math.max(w[c], row[c].length());
        }
        for (String[] row : table) {
            StringBuilder b = new StringBuilder(String.format("%-" + w[0] + "s", row[0]));
            for (int c = 1; c < 5; ++c) b.append("  ").append(String.format("%" + w[c] + "s", row[c]));
            System.out.println(b);
        }
        System.out.println();
        if (!only.isEmpty()) return;
        double send = value("sendFrame");
        double write = value("writeDMXFrame");
        double read = value("readDMXFrame");
        double baseWrite = value("Java baseline: write");
        double baseRead = value("Java baseline: read");
        System.out.printf(Locale.ROOT, "target sendFrame under 1000 ns per frame: %.0f ns, %s%n", send,
                send < 1000 ? "met" : "missed");
        System.out.printf(Locale.ROOT, "target writeDMXFrame at least as fast as the Java baseline: %.2f times its "
                + "time, %s%n", write / baseWrite, write <= baseWrite ? "met" : "missed");
        System.out.printf(Locale.ROOT, "target readDMXFrame at least as fast as the Java baseline: %.2f times its "
                + "time, %s%n", read / baseRead, read <= baseRead ? "met" : "missed");
    }

    private double value(String name) {
        for (String[] row : table) {
            if (row[0].equals(name)) return Double.parseDouble(row[1]);
        }
        return Double.NaN;
    }
}
