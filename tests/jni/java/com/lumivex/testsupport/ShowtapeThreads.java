package com.lumivex.testsupport;

import com.lumivex.controller.DMXFrame;
import com.lumivex.controller.DevException;
import com.lumivex.controller.Showtape;
import com.lumivex.controller.ShowtapeHeader;
import java.io.File;
import java.util.ArrayList;
import java.util.List;
import java.util.Queue;
import java.util.concurrent.ConcurrentLinkedQueue;
import java.util.concurrent.CyclicBarrier;

/**
 * Runs show-file work on several threads at once, each with a
 * {@link Showtape} object of its own: every thread writes a show whose values
 * depend on the thread, reads it back, rewinds and reads the first frame
 * again, and reports every difference it sees.
 */
public final class ShowtapeThreads {
    private ShowtapeThreads() {
    }

    /**
     * Runs the threads and waits for them.
     *
     * @param dir     folder to write the shows to, one file per thread
     * @param threads number of threads
     * @param frames  number of frames each thread writes
     * @return every difference and failure, one per line; empty when all threads succeeded
     * @throws InterruptedException when interrupted while waiting for the threads
     */
    public static String run(String dir, int threads, int frames) throws InterruptedException {
        Queue<String> failures = new ConcurrentLinkedQueue<>();
        CyclicBarrier start = new CyclicBarrier(threads);
        List<Thread> running = new ArrayList<>();
        for (int t = 0; t < threads; ++t) {
            final int id = t;
            Thread thread = new Thread(() -> {
                try {
                    start.await();
                    one(new File(dir, "thread-" + id + ".dmx").getPath(), id, frames, failures);
                } catch (Exception e) {
                    failures.add("thread " + id + ": " + e);
                }
            });
            thread.start();
            running.add(thread);
        }
        for (Thread thread : running) {
            thread.join();
        }
        return String.join("\n", failures);
    }

    private static int[] channels(int thread, int n) {
        int[] data = new int[(thread * 97 + n * 31) % 700];
        for (int i = 0; i < data.length; ++i) {
            data[i] = thread * 1000 + n + i;  // cut to 8 bits on the way
        }
        return data;
    }

    private static void one(String path, int thread, int frames, Queue<String> failures) throws DevException {
        Showtape tape = new Showtape();
        ShowtapeHeader header = new ShowtapeHeader();
        header.date = thread;
        header.commentField = "thread " + thread;
        header.totalFrames = frames;
        tape.createShowtape(path, "show of thread " + thread, header, 0, false);
        for (int n = 0; n < frames; ++n) {
            tape.writeDMXFrame(new DMXFrame(thread, n, channels(thread, n)));
        }
        tape.closeShowtape();

        ShowtapeHeader read = new ShowtapeHeader();
        String name = tape.openShowtape(path, read);
        if (!name.equals("show of thread " + thread) || read.date != thread
                || !read.commentField.equals("thread " + thread) || read.totalFrames != frames) {
            failures.add("thread " + thread + ": header or name differs: " + name);
        }
        DMXFrame frame = new DMXFrame(700);
        for (int pass = 0; pass < 2; ++pass) {
            int count = pass == 0 ? frames : 1;
            for (int n = 0; n < count; ++n) {
                if (tape.readDMXFrame(frame) != 0) {
                    failures.add("thread " + thread + ": show ends early at frame " + n);
                    break;
                }
                int[] expected = channels(thread, n);
                boolean same = frame.startCode == thread && frame.timeCode == n;
                for (int i = 0; i < frame.dmxData.length && same; ++i) {
                    same = frame.dmxData[i] == (i < expected.length ? expected[i] & 0xFF : 0);
                }
                if (!same) {
                    failures.add("thread " + thread + ": frame " + n + " differs on pass " + pass);
                }
            }
            if (pass == 0 && tape.readDMXFrame(frame) != 2) {
                failures.add("thread " + thread + ": show does not end after " + frames + " frames");
            }
            tape.rewindShowtape();
        }
        tape.closeShowtape();
    }
}
