package com.lumivex.lumictl;

import java.io.PrintStream;
import java.util.Locale;

/**
 * A one-line progress bar on standard error: items done of the expected total,
 * the rate and the time left, redrawn in place at most ten times a second.
 * Without an expected total (0 or less) it shows the count and the rate.
 *
 * <p>Not thread safe: one thread updates a bar.
 */
final class Progress {
    /** When to draw: on a terminal only, always (also into a pipe or file), never. */
    enum Mode { AUTO, ALWAYS, NEVER }

    private static final long REDRAW_NANOS = 100_000_000L;
    private static final int BAR_WIDTH = 30;

    private final PrintStream out;
    private final boolean enabled;
    private final String label;
    private final String unit;
    private final long total;
    private final long startNanos;
    private long lastDrawNanos;
    private long done;
    private int lastLength;

    /**
     * A bar for {@code total} items of {@code unit} ("frames"), each line
     * starting with {@code label} ("saving").
     */
    Progress(PrintStream out, Mode mode, String label, String unit, long total) {
        this.out = out;
        this.label = label;
        this.enabled = mode == Mode.ALWAYS || (mode == Mode.AUTO && System.console() != null);
        this.unit = unit;
        this.total = total;
        this.startNanos = System.nanoTime();
        this.lastDrawNanos = startNanos - REDRAW_NANOS;
    }

    /** Sets the count done so far and redraws when the last redraw is old enough. */
    void update(long doneSoFar) {
        done = doneSoFar;
        if (!enabled) return;
        long now = System.nanoTime();
        if (now - lastDrawNanos < REDRAW_NANOS) return;
        lastDrawNanos = now;
        draw(now);
    }

    /** Draws the final state and ends the line. */
    void finish() {
        if (!enabled) return;
        draw(System.nanoTime());
        out.println();
        out.flush();
    }

    /** Ends the line where the bar stopped, e.g. before an error message. */
    void abandon() {
        if (!enabled || lastLength == 0) return;
        out.println();
        out.flush();
    }

    private void draw(long now) {
        double seconds = Math.max((now - startNanos) / 1e9, 1e-9);
        double rate = done / seconds;
        StringBuilder line = new StringBuilder(label).append(' ');
        if (total > 0) {
            long shown = Math.min(done, total);
            int filled = (int) (BAR_WIDTH * shown / total);
            line.append(String.format(Locale.ROOT, "%d/%d %s [", done, total, unit));
            line.append("#".repeat(filled)).append(".".repeat(BAR_WIDTH - filled)).append(']');
            line.append(String.format(Locale.ROOT, " %3d%%", 100 * shown / total));
        } else {
            line.append(String.format(Locale.ROOT, "%d %s", done, unit));
        }
        line.append(String.format(Locale.ROOT, "  %.0f %s/s", rate, unit));
        if (total > 0) {
            if (done >= total) {
                line.append("  ").append(clock(seconds)).append(" taken");
            } else if (done > 0) {
                line.append("  ").append(clock((total - done) / rate)).append(" left");
            }
        }
        int length = line.length();
        if (length < lastLength) line.append(" ".repeat(lastLength - length));
        lastLength = length;
        out.print('\r');
        out.print(line);
        out.flush();
    }

    /** h:mm:ss, or m:ss under an hour. */
    static String clock(double seconds) {
        long s = Math.round(seconds);
        if (s >= 3600) return String.format(Locale.ROOT, "%d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
        return String.format(Locale.ROOT, "%d:%02d", s / 60, s % 60);
    }
}
