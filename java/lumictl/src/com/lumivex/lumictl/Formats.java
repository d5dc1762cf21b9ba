package com.lumivex.lumictl;

import com.lumivex.controller.ShowtapeHeader;
import java.time.Instant;
import java.time.ZoneOffset;
import java.time.format.DateTimeFormatter;
import java.util.Locale;

/** Text forms shared by the commands; numbers are always formatted without the locale's conventions. */
final class Formats {
    private static final DateTimeFormatter UTC =
            DateTimeFormatter.ofPattern("yyyy-MM-dd HH:mm:ss'Z'", Locale.ROOT).withZone(ZoneOffset.UTC);

    private Formats() {
    }

    static String f(String format, Object... args) {
        return String.format(Locale.ROOT, format, args);
    }

    /**
     * A time the controller library reports in seconds since 1970 (the show
     * header's {@code date}, a file's {@code lastModified}), in UTC; the raw
     * number when it is out of range.
     */
    static String unixTime(long seconds) {
        try {
            return UTC.format(Instant.ofEpochSecond(seconds));
        } catch (RuntimeException outOfRange) {
            return Long.toString(seconds);
        }
    }

    /** A text in double quotes, with {@code "} and {@code \} escaped and control characters as \\uXXXX. */
    static String quote(String s) {
        StringBuilder b = new StringBuilder(s.length() + 2).append('"');
        for (int i = 0; i < s.length(); ++i) {
            char c = s.charAt(i);
            if (c == '"' || c == '\\') {
                b.append('\\').append(c);
            } else if (c < 0x20 || c == 0x7f) {
                b.append(f("\\u%04x", (int) c));
            } else {
                b.append(c);
            }
        }
        return b.append('"').toString();
    }

    /** A frame rate without needless digits: "40", "29.97". */
    static String rate(double r) {
        if (r == Math.rint(r) && Math.abs(r) < 1e15) return Long.toString((long) r);
        return f("%.6f", r).replaceAll("0+$", "").replaceAll("\\.$", "");
    }

    /** Seconds with millisecond precision: "30.000 s". */
    static String seconds(double s) {
        return f("%.3f s", s);
    }

    /** Play time of {@code frames} frames at the header's rate, or null when the rate is no use. */
    static Double duration(long frames, ShowtapeHeader header) {
        double r = header.frameRate;
        if (!(r > 0) || Double.isInfinite(r)) return null;
        return frames / r;
    }
}
