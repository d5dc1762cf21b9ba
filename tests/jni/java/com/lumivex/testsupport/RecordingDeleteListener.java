package com.lumivex.testsupport;

import com.lumivex.controller.DeleteListener;
import java.util.ArrayList;
import java.util.List;

/**
 * A delete listener that records every progress report with the thread it
 * arrived on, and can throw from a chosen report on.
 */
public final class RecordingDeleteListener implements DeleteListener {
    /** What a listener set to throw throws. */
    public static final class ListenerFailure extends RuntimeException {
        private static final long serialVersionUID = 1L;

        ListenerFailure(String message) {
            super(message);
        }
    }

    private final int throwAt;
    private final List<int[]> reports = new ArrayList<>();
    private final List<Thread> threads = new ArrayList<>();

    /** Creates a listener that never throws. */
    public RecordingDeleteListener() {
        this(-1);
    }

    /**
     * Creates a listener that throws a {@link ListenerFailure} from the report
     * of index {@code throwAt} (counted from 0) on; -1 never throws.
     *
     * @param throwAt index of the first report that throws
     */
    public RecordingDeleteListener(int throwAt) {
        this.throwAt = throwAt;
    }

    @Override
    public synchronized void deleteCallback(int done, int total) {
        reports.add(new int[] {done, total});
        threads.add(Thread.currentThread());
        if (throwAt >= 0 && reports.size() > throwAt) {
            throw new ListenerFailure("listener gave up at report " + (reports.size() - 1));
        }
    }

    /**
     * The number of reports received.
     *
     * @return the count
     */
    public synchronized int count() {
        return reports.size();
    }

    /**
     * The reports as one array: done and total of report 0, then of report 1, and so on.
     *
     * @return the values in order
     */
    public synchronized int[] values() {
        int[] out = new int[reports.size() * 2];
        for (int i = 0; i < reports.size(); ++i) {
            out[2 * i] = reports.get(i)[0];
            out[2 * i + 1] = reports.get(i)[1];
        }
        return out;
    }

    /**
     * Whether every report arrived on {@code thread}.
     *
     * @param thread the expected thread
     * @return true when no report came from another thread
     */
    public synchronized boolean allOn(Thread thread) {
        for (Thread t : threads) {
            if (t != thread) {
                return false;
            }
        }
        return true;
    }

    /**
     * Whether the reports are exactly (0, total), (1, total) ... (total, total).
     *
     * @param total the expected total
     * @return true for exactly that sequence
     */
    public synchronized boolean countedUpTo(int total) {
        if (reports.size() != total + 1) {
            return false;
        }
        for (int i = 0; i <= total; ++i) {
            if (reports.get(i)[0] != i || reports.get(i)[1] != total) {
                return false;
            }
        }
        return true;
    }
}
