package com.lumivex.demo;

import com.lumivex.controller.DMXFrame;
import com.lumivex.controller.DeleteListener;
import com.lumivex.controller.DevEntry;
import com.lumivex.controller.DevException;
import com.lumivex.controller.DevFileEntry;
import com.lumivex.controller.DevInfo;
import com.lumivex.controller.DevTestWrite;
import com.lumivex.controller.Lumidrive;
import com.lumivex.controller.ShowtapeHeader;
import java.util.Arrays;
import java.util.Objects;

/**
 * Uploads a show to the first controller that stores shows, lists the
 * controller's store, reads the show back and checks that it is identical,
 * then deletes it while printing the progress. Uses nothing but the
 * controller jar and the native libraries. Exits with status 1 when anything
 * read back differs from what was written.
 *
 * <p>Usage: {@code java -Djava.library.path=<lib> -cp lumivex-controller.jar:<this> com.lumivex.demo.UploadDemo [frames]}
 */
public final class UploadDemo {
    private static final String SHOW = "Java Upload Demo";
    private static final int CHANNELS = 512;
    private static final int BATCH = 100;

    private UploadDemo() {
    }

    /**
     * Runs the demo.
     *
     * @param args optionally the number of frames of the show (default 400)
     * @throws DevException when a controller operation fails
     */
    public static void main(String[] args) throws DevException {
        final int frameCount = args.length > 0 ? Integer.parseInt(args[0]) : 400;

        DevEntry store = null;
        DevEntry entry = new DevEntry();
        for (int r = Lumidrive.getFirstDevice(entry); r == 0; r = Lumidrive.getNextDevice(entry)) {
            if (store == null && Lumidrive.supportsPlayBackConfig(entry.deviceClasses)) {
                store = entry;
                entry = new DevEntry();
            }
        }
        if (store == null) {
            fail("no controller that stores shows");
        }

        Lumidrive device = new Lumidrive();
        device.openDevice(store);
        try {
            DevInfo info = new DevInfo();
            device.getDeviceInfo(info);
            System.out.printf("opened %s: %d bytes of store, %d free%n", store.deviceName, info.totalSpace,
                    device.getFreeSpace());
            run(device, frameCount);
        } finally {
            device.closeDevice();
        }
    }

    private static void run(Lumidrive device, int frameCount) throws DevException {
        ShowtapeHeader header = new ShowtapeHeader();
        header.constantFrameRate = true;
        header.loopShow = false;
        header.date = 1767225600L;
        header.frameRate = 40;
        header.numberChannels = CHANNELS;
        header.totalFrames = frameCount;
        header.commentField = "A sweep written from Java";
        header.effectSignature = "upload-demo";
        DMXFrame[] show = new DMXFrame[frameCount];
        for (int f = 0; f < frameCount; ++f) {
            int[] data = new int[CHANNELS];
            for (int ch = 0; ch < CHANNELS; ++ch) {
                data[ch] = (ch + 3 * f) % 256;
            }
            show[f] = new DMXFrame(0, f * 25, data);
        }

        DevTestWrite verdict = new DevTestWrite();
        device.createTestFile(SHOW, header, true);
        device.writeTestFrames(show);
        device.closeTestFile(verdict);
        System.out.printf("test upload: fits %b, %d bytes%n", verdict.willFit, verdict.totalSize);
        if (!verdict.willFit) {
            fail("the show does not fit");
        }

        device.createFile(SHOW, header, true);
        for (int first = 0; first < frameCount; first += BATCH) {
            device.writeFrames(Arrays.copyOfRange(show, first, Math.min(frameCount, first + BATCH)));
        }
        device.closeFile();
        System.out.printf("uploaded \"%s\": %d frames%n", SHOW, frameCount);

        DevFileEntry listed = find(device, SHOW);
        if (listed == null) {
            fail("the uploaded show is not listed");
        }
        if (listed.fileSize != verdict.totalSize) {
            fail("listed size " + listed.fileSize + ", test upload said " + verdict.totalSize);
        }

        ShowtapeHeader back = new ShowtapeHeader();
        device.openFile(SHOW, back);
        if (back.constantFrameRate != header.constantFrameRate || back.loopShow != header.loopShow
                || back.date != header.date || back.frameRate != header.frameRate
                || back.numberChannels != header.numberChannels || back.totalFrames != header.totalFrames
                || !Objects.equals(back.commentField, header.commentField)
                || !Objects.equals(back.effectSignature, header.effectSignature)) {
            fail("the header read back differs");
        }
        DMXFrame frame = new DMXFrame(CHANNELS);
        int read = 0;
        for (int r = device.readFrame(frame); r == 0; r = device.readFrame(frame)) {
            if (read >= frameCount || frame.startCode != show[read].startCode
                    || frame.timeCode != show[read].timeCode || !Arrays.equals(frame.dmxData, show[read].dmxData)) {
                fail("frame " + read + " read back differs");
            }
            ++read;
        }
        device.closeFile();
        if (read != frameCount) {
            fail("read back " + read + " frames of " + frameCount);
        }
        System.out.printf("read back \"%s\": header and %d frames identical%n", SHOW, read);

        final int[] last = {-1, -1};
        final int[] reports = {0};
        DeleteListener progress = (done, total) -> {
            System.out.printf("deleting: %d of %d%n", done, total);
            last[0] = done;
            last[1] = total;
            ++reports[0];
        };
        device.deleteFile(SHOW, progress);
        if (reports[0] == 0 || last[0] != last[1]) {
            fail("the delete did not report its completion");
        }
        if (find(device, SHOW) != null) {
            fail("the show is still listed after the delete");
        }
        System.out.printf("deleted \"%s\" after %d progress reports; %d bytes free%n", SHOW, reports[0],
                device.getFreeSpace());
    }

    /** Lists the store's top folder, printing it, and returns the entry named {@code name} or null. */
    private static DevFileEntry find(Lumidrive device, String name) throws DevException {
        DevFileEntry found = null;
        DevFileEntry entry = new DevFileEntry();
        System.out.println("store:");
        for (int r = device.getFirstFile(".", entry); r == 0; r = device.getNextFile(entry)) {
            System.out.printf("  %-24s %9d bytes%s%n", entry.fileName, entry.fileSize,
                    entry.isDirectory ? " (folder)" : "");
            if (entry.fileName.equals(name)) {
                found = entry;
                entry = new DevFileEntry();
            }
        }
        return found;
    }

    private static void fail(String why) {
        System.err.println("upload demo failed: " + why);
        System.exit(1);
    }
}
