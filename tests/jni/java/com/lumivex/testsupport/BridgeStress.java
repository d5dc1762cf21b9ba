package com.lumivex.testsupport;

import com.lumivex.controller.DMXFrame;
import com.lumivex.controller.DevException;
import com.lumivex.controller.DevFileEntry;
import com.lumivex.controller.DevState;
import com.lumivex.controller.DevTestWrite;
import com.lumivex.controller.DevTrigger;
import com.lumivex.controller.DevTriggerAction;
import com.lumivex.controller.DevTriggerHeader;
import com.lumivex.controller.Lumidrive;
import com.lumivex.controller.ShowtapeHeader;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.List;
import java.util.concurrent.CyclicBarrier;

/**
 * Drives the controller natives from many Java threads at once. Each method
 * starts its threads, waits for them and returns the problems it saw, one
 * per line ("" when there were none), so a native test host can report them.
 */
public final class BridgeStress {
    /** Code the controller library reports for an operation out of order. */
    private static final int WRONG_STATE = 14;

    private BridgeStress() {
    }

    /** One worker's body; any throwable it lets out is a problem. */
    private interface Work {
        void run(int index) throws Exception;
    }

    private static String runThreads(int threads, Work work) throws InterruptedException {
        List<String> problems = Collections.synchronizedList(new ArrayList<>());
        CyclicBarrier start = new CyclicBarrier(threads);
        Thread[] all = new Thread[threads];
        for (int i = 0; i < threads; ++i) {
            final int index = i;
            all[i] = new Thread(() -> {
                try {
                    start.await();
                    work.run(index);
                } catch (Throwable t) {
                    problems.add("thread " + index + ": " + t);
                }
            }, "stress-" + i);
            all[i].start();
        }
        for (Thread t : all) {
            t.join();
        }
        return String.join("\n", problems);
    }

    /**
     * Deletes from {@code threads} threads at once on one object, each delete
     * with a listener of its own (every third one with none). Every listener
     * must receive exactly {@code expected} (pairs of done and total), all on
     * its own thread.
     *
     * @param device   the object all threads share
     * @param threads  the number of threads
     * @param rounds   deletes per thread
     * @param expected the progress every delete reports, as done/total pairs in order
     * @return the problems seen, one per line
     * @throws InterruptedException when interrupted while waiting for the threads
     */
    public static String concurrentDeletes(Lumidrive device, int threads, int rounds, int[] expected)
            throws InterruptedException {
        return runThreads(threads, index -> {
            for (int round = 0; round < rounds; ++round) {
                boolean silent = (index + round) % 3 == 2;
                RecordingDeleteListener listener = silent ? null : new RecordingDeleteListener();
                device.deleteFile("show-" + index + "-" + round, listener);
                if (listener == null) {
                    continue;
                }
                if (!listener.allOn(Thread.currentThread())) {
                    throw new AssertionError("round " + round + ": a report arrived on another thread");
                }
                if (!Arrays.equals(listener.values(), expected)) {
                    throw new AssertionError("round " + round + ": reports " + Arrays.toString(listener.values()));
                }
            }
        });
    }

    /**
     * Many threads on one open controller at once: listing, free space,
     * state, trigger header and table, and test uploads. The library may
     * refuse an operation that another thread's work has put out of order
     * (code 14); anything else thrown is a problem.
     *
     * @param device  an object with a controller open, shared by all threads
     * @param threads the number of threads
     * @param rounds  rounds of work per thread
     * @return the problems seen, one per line
     * @throws InterruptedException when interrupted while waiting for the threads
     */
    public static String sharedDevice(Lumidrive device, int threads, int rounds) throws InterruptedException {
        return runThreads(threads, index -> {
            DevFileEntry entry = new DevFileEntry();
            DevState state = new DevState();
            DevTriggerHeader header = new DevTriggerHeader();
            DevTrigger trigger = new DevTrigger();
            DevTriggerAction action = new DevTriggerAction();
            for (int round = 0; round < rounds; ++round) {
                try {
                    for (int r = device.getFirstFile(".", entry); r == 0; r = device.getNextFile(entry)) {
                        if (entry.fileName.isEmpty() || entry.fileSize < 0) {
                            throw new AssertionError("bad entry " + entry.fileName + " " + entry.fileSize);
                        }
                    }
                    if (device.getFreeSpace() < 0) {
                        throw new AssertionError("negative free space");
                    }
                    device.getDeviceState(state);
                    device.getTriggerHeader(header);
                    header.byte1 = index;
                    header.byte2 = round;
                    device.setTriggerHeader(header);
                    for (int r = device.getFirstTrigger(trigger, action); r == 0;
                            r = device.getNextTrigger(trigger, action)) {
                        if (action.fileName == null) {
                            throw new AssertionError("null trigger file name");
                        }
                    }
                    testUpload(device, "probe-" + index, 3 + index % 4);
                } catch (DevException e) {
                    if (e.getCode() != WRONG_STATE) {
                        throw e;
                    }
                }
            }
        });
    }

    private static void testUpload(Lumidrive device, String name, int frames) throws DevException {
        ShowtapeHeader header = new ShowtapeHeader();
        header.frameRate = 25;
        header.numberChannels = 16;
        header.totalFrames = frames;
        device.createTestFile(name, header, true);
        DMXFrame[] batch = new DMXFrame[frames];
        for (int i = 0; i < frames; ++i) {
            batch[i] = new DMXFrame(16);
        }
        device.writeTestFrames(batch);
        DevTestWrite verdict = new DevTestWrite();
        device.closeTestFile(verdict);
        if (!verdict.willFit || verdict.totalSize <= 0) {
            throw new AssertionError("test upload of " + frames + " frames: fits " + verdict.willFit + ", size "
                    + verdict.totalSize);
        }
    }

    /**
     * One thread per open controller, all at once: each uploads a show of a
     * size of its own, reads it back, and deletes it with a listener that
     * must see its own delete's progress and nothing else, counting from
     * (0, total) to (total, total) on its own thread.
     *
     * @param devices objects each with a different controller open
     * @param rounds  uploads and deletes per thread
     * @return the problems seen, one per line
     * @throws InterruptedException when interrupted while waiting for the threads
     */
    public static String separateDevices(Lumidrive[] devices, int rounds) throws InterruptedException {
        return runThreads(devices.length, index -> {
            Lumidrive device = devices[index];
            final int channels = 512;
            final int frames = 130 * (index + 1);
            for (int round = 0; round < rounds; ++round) {
                String name = "stress-" + index + "-" + round;
                ShowtapeHeader header = new ShowtapeHeader();
                header.frameRate = 40;
                header.numberChannels = channels;
                header.totalFrames = frames;
                header.commentField = name;
                device.createFile(name, header, false);
                DMXFrame[] batch = new DMXFrame[frames];
                for (int f = 0; f < frames; ++f) {
                    batch[f] = new DMXFrame(0, f, new int[channels]);
                    for (int ch = 0; ch < channels; ++ch) {
                        batch[f].dmxData[ch] = (f + ch + index) & 0xFF;
                    }
                }
                device.writeFrames(batch);
                device.closeFile();

                ShowtapeHeader back = new ShowtapeHeader();
                device.openFile(name, back);
                DMXFrame frame = new DMXFrame(channels);
                int read = 0;
                for (int r = device.readFrame(frame); r == 0; r = device.readFrame(frame)) {
                    if (frame.timeCode != read || !Arrays.equals(frame.dmxData, batch[read].dmxData)) {
                        throw new AssertionError(name + ": frame " + read + " differs");
                    }
                    ++read;
                }
                device.closeFile();
                if (read != frames || !name.equals(back.commentField)) {
                    throw new AssertionError(name + ": read " + read + " frames, comment " + back.commentField);
                }

                RecordingDeleteListener listener = new RecordingDeleteListener();
                device.deleteFile(name, listener);
                int[] seen = listener.values();
                if (seen.length < 2 || !listener.countedUpTo(seen[1])) {
                    throw new AssertionError(name + ": progress " + Arrays.toString(seen));
                }
                if (!listener.allOn(Thread.currentThread())) {
                    throw new AssertionError(name + ": a report arrived on another thread");
                }
            }
        });
    }
}
