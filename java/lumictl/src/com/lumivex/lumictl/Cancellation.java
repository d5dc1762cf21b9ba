package com.lumivex.lumictl;

import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.locks.LockSupport;

/**
 * Ctrl+C while a command runs. The virtual machine then runs its shutdown
 * hooks on a thread of its own while the command goes on in the main thread;
 * the hook only raises a flag and waits (a few seconds at most) until the
 * command has noticed it and ended what it started on the controller (live
 * play, playback, an upload), so that nothing is called on a device from two
 * threads at once. Long loops call {@link #check()}; waits poll the
 * flag instead of being interrupted, so no file channel is closed under the
 * command by an interrupt.
 *
 * <p>Thread safety: {@link #requested()} and {@link #check()} may be
 * called from any thread.
 */
final class Cancellation {
    private static final long GRACE_MILLIS = 5000;

    private static volatile boolean requested;
    private static final CountDownLatch FINISHED = new CountDownLatch(1);

    private Cancellation() {
    }

    /** Installs the hook; called once by main before the command runs. */
    static void install() {
        Runtime.getRuntime().addShutdownHook(new Thread(Cancellation::onShutdown, "lumictl-interrupt"));
    }

    /** Called by main when the command has ended, successfully or not. */
    static void finished() {
        FINISHED.countDown();
    }

    static boolean requested() {
        return requested;
    }

    /** Throws an "interrupted" failure once Ctrl+C was pressed. */
    static void check() {
        if (requested) throw Failure.interrupted();
    }

    /** Sleeps until {@code deadlineNanos} (System.nanoTime) unless Ctrl+C comes first. */
    static void sleepUntil(long deadlineNanos) {
        while (true) {
            check();
            long left = deadlineNanos - System.nanoTime();
            if (left <= 0) return;
            LockSupport.parkNanos(Math.min(left, 50_000_000L));
        }
    }

    private static void onShutdown() {
        if (FINISHED.getCount() == 0) return;  // an ordinary exit: the command is done
        requested = true;
        try {
            FINISHED.await(GRACE_MILLIS, TimeUnit.MILLISECONDS);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }
}
