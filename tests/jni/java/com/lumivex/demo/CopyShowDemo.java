package com.lumivex.demo;

import com.lumivex.controller.DMXFrame;
import com.lumivex.controller.DevEntry;
import com.lumivex.controller.DevException;
import com.lumivex.controller.DevFileEntry;
import com.lumivex.controller.Lumidrive;
import com.lumivex.controller.Showtape;
import com.lumivex.controller.ShowtapeHeader;
import java.util.Arrays;

/**
 * Copies a show stored on a controller into a show file, header and frames,
 * then reads the file back and compares it with the show on the controller,
 * frame by frame. Uses nothing but the controller jar and the native
 * libraries.
 *
 * <p>A Java frame read from a controller has no channel count of its own (its
 * array keeps its length), so every frame is copied with the header's
 * {@code numberChannels} channels.
 *
 * <p>Usage: {@code java -Djava.library.path=<lib> -cp lumivex-controller.jar:<this>
 * com.lumivex.demo.CopyShowDemo <file.dmx> [show]}; without a show name the first
 * show the controller lists is copied. An existing file is replaced.
 */
public final class CopyShowDemo {
    private CopyShowDemo() {
    }

    /**
     * Runs the demo.
     *
     * @param args the show file to write, and optionally the show to copy
     * @throws DevException when a library operation fails
     */
    public static void main(String[] args) throws DevException {
        if (args.length < 1) {
            System.err.println("usage: CopyShowDemo <file.dmx> [show]");
            System.exit(2);
        }
        final String path = args[0];
        System.out.printf("controller library %d.%d.%d, show-file library %d.%d.%d%n",
                Lumidrive.getLibraryMajorRevision(), Lumidrive.getLibraryMinorRevision(),
                Lumidrive.getLibraryBuildRevision(), Showtape.getLibraryMajorRevision(),
                Showtape.getLibraryMinorRevision(), Showtape.getLibraryBuildRevision());

        DevEntry store = null;
        DevEntry entry = new DevEntry();
        for (int r = Lumidrive.getFirstDevice(entry); r == 0; r = Lumidrive.getNextDevice(entry)) {
            if (Lumidrive.supportsPlayBackConfig(entry.deviceClasses)) {
                store = entry;
                break;
            }
        }
        if (store == null) {
            fail("no controller that stores shows");
        }

        Lumidrive device = new Lumidrive();
        device.openDevice(store);
        try {
            String show = args.length > 1 ? args[1] : firstShow(device);
            if (show == null) {
                fail("the controller holds no show");
            }
            System.out.printf("copying \"%s\" from %s on %s to %s%n", show, store.deviceName, store.devicePort, path);
            long frames = copy(device, show, path);
            long compared = compare(device, show, path);
            if (compared != frames) {
                fail("copied " + frames + " frames but compared " + compared);
            }
            System.out.printf("copied \"%s\": %d frames; the file reads back identical, header and frames%n", show,
                    frames);
        } finally {
            device.closeDevice();
        }
    }

    private static String firstShow(Lumidrive device) throws DevException {
        DevFileEntry file = new DevFileEntry();
        for (int r = device.getFirstFile(".", file); r == 0; r = device.getNextFile(file)) {
            if (!file.isDirectory) {
                return file.fileName;
            }
        }
        return null;
    }

    /** Copies the show into the file; returns the number of frames copied. */
    private static long copy(Lumidrive device, String show, String path) throws DevException {
        ShowtapeHeader header = new ShowtapeHeader();
        device.openFile(show, header);
        long frames = 0;
        Showtape file = new Showtape();
        try {
            file.createShowtape(path, show, header, 0, true);
            DMXFrame frame = new DMXFrame(header.numberChannels);
            while (device.readFrame(frame) == 0) {
                file.writeDMXFrame(frame);
                ++frames;
            }
        } finally {
            device.closeFile();
        }
        file.closeShowtape();
        return frames;
    }

    /**
     * Reads the file and the show on the controller side by side; fails at the
     * first difference. Returns the number of frames compared.
     */
    private static long compare(Lumidrive device, String show, String path) throws DevException {
        ShowtapeHeader expected = new ShowtapeHeader();
        device.openFile(show, expected);
        Showtape file = new Showtape();
        long frames = 0;
        try {
            ShowtapeHeader header = new ShowtapeHeader();
            String name = file.openShowtape(path, header);
            if (!name.equals(show)) {
                fail("the file's show name is \"" + name + "\", not \"" + show + "\"");
            }
            compareHeaders(expected, header);

            DMXFrame original = new DMXFrame(expected.numberChannels);
            DMXFrame copied = new DMXFrame(expected.numberChannels);
            DMXFrame first = null;
            while (true) {
                int fromDevice = device.readFrame(original);
                int fromFile = file.readDMXFrame(copied);
                if (fromDevice != fromFile) {
                    fail("frame " + frames + ": the controller gives " + fromDevice + ", the file " + fromFile);
                }
                if (fromDevice != 0) {
                    break;
                }
                compareFrames(frames, original, copied);
                if (first == null) {
                    first = new DMXFrame(original.startCode, original.timeCode, original.dmxData.clone());
                }
                ++frames;
            }
            if (first != null) {
                file.rewindShowtape();
                if (file.readDMXFrame(copied) != 0) {
                    fail("no frame after a rewind");
                }
                compareFrames(0, first, copied);
            }
            file.closeShowtape();
        } finally {
            device.closeFile();
        }
        return frames;
    }

    private static void compareHeaders(ShowtapeHeader a, ShowtapeHeader b) {
        boolean same = a.constantFrameRate == b.constantFrameRate && a.loopShow == b.loopShow && a.date == b.date
                && a.commentField.equals(b.commentField)
                && Double.doubleToRawLongBits(a.frameRate) == Double.doubleToRawLongBits(b.frameRate)
                && a.numberChannels == b.numberChannels && a.totalFrames == b.totalFrames
                && a.effectSignature.equals(b.effectSignature);
        if (!same) {
            fail("the file's header differs from the controller's");
        }
        System.out.printf("header: %d channels, %d frames at %.1f/s, \"%s\", \"%s\"%n", b.numberChannels,
                b.totalFrames, b.frameRate, b.commentField, b.effectSignature);
    }

    private static void compareFrames(long index, DMXFrame a, DMXFrame b) {
        if (a.startCode != b.startCode || a.timeCode != b.timeCode || !Arrays.equals(a.dmxData, b.dmxData)) {
            fail("frame " + index + " differs");
        }
    }

    private static void fail(String message) {
        throw new IllegalStateException(message);
    }
}
