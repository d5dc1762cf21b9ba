package com.lumivex.lumictl;

import com.lumivex.controller.DevTrigger;
import com.lumivex.controller.DevTriggerAction;
import com.lumivex.controller.DevTriggerHeader;
import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.nio.charset.CharacterCodingException;
import java.nio.charset.CodingErrorAction;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;

/**
 * The text form of a controller's trigger table, as {@code lumictl triggers}
 * prints it and {@code lumictl triggers set} reads it:
 *
 * <pre>
 * # comment
 * header = 200 0 255 7
 * trigger = 1 100 1 0 "Chase"
 * </pre>
 *
 * <p>{@code header = b1 b2 b3 b4}: the four header bytes, 0 to 255; at most
 * once, and optional (without it the header is left as it is).
 * {@code trigger = triggerType value actionType actionValue "fileName"}: one
 * trigger, in table order; the four numbers are 32-bit signed integers
 * (decimal, or hexadecimal after {@code 0x}, with an optional minus sign), the
 * name is in double quotes with {@code \"} and {@code \\} escaped, at most 255
 * UTF-16 units. Blank lines and lines starting with {@code #} are ignored; the
 * file is UTF-8. Values are checked, never cut.
 */
final class TriggerText {
    /** One trigger and its action. */
    static final class Entry {
        final DevTrigger trigger = new DevTrigger();
        final DevTriggerAction action = new DevTriggerAction();
    }

    /** A parsed file: the header (null when the file has none) and the triggers in order. */
    static final class Table {
        DevTriggerHeader header;
        final List<Entry> triggers = new ArrayList<>();
    }

    private static final int MAX_NAME_UNITS = 255;

    private TriggerText() {
    }

    static String headerLine(DevTriggerHeader h) {
        return "header = " + h.byte1 + " " + h.byte2 + " " + h.byte3 + " " + h.byte4;
    }

    static String triggerLine(DevTrigger t, DevTriggerAction a) {
        return "trigger = " + t.triggerType + " " + t.value + " " + a.actionType + " " + a.value + " "
                + Formats.quote(a.fileName);
    }

    /** Reads {@code file}; a mistake fails with "FILE:LINE: what is wrong". */
    static Table read(Path file) {
        List<String> lines = new ArrayList<>();
        try (BufferedReader r = new BufferedReader(new InputStreamReader(Files.newInputStream(file),
                StandardCharsets.UTF_8.newDecoder().onMalformedInput(CodingErrorAction.REPORT)))) {
            for (String line = r.readLine(); line != null; line = r.readLine()) lines.add(line);
        } catch (CharacterCodingException e) {
            throw new Failure(file + ": not UTF-8 text");
        } catch (IOException e) {
            throw new Failure("cannot read " + file + ": " + e.getMessage());
        }
        Table table = new Table();
        for (int i = 0; i < lines.size(); ++i) {
            String where = file + ":" + (i + 1) + ": ";
            try {
                parseLine(lines.get(i), table);
            } catch (IllegalArgumentException e) {
                throw new Failure(where + e.getMessage());
            }
        }
        return table;
    }

    private static void parseLine(String line, Table table) {
        String s = line.strip();
        if (s.isEmpty() || s.startsWith("#")) return;
        int eq = s.indexOf('=');
        if (eq < 0) throw new IllegalArgumentException("expected 'header = ...' or 'trigger = ...'");
        String key = s.substring(0, eq).strip();
        Cursor c = new Cursor(s.substring(eq + 1));
        if (key.equals("header")) {
            if (table.header != null) throw new IllegalArgumentException("a second header line");
            DevTriggerHeader h = new DevTriggerHeader();
            h.byte1 = c.number(0, 255, "header byte 1");
            h.byte2 = c.number(0, 255, "header byte 2");
            h.byte3 = c.number(0, 255, "header byte 3");
            h.byte4 = c.number(0, 255, "header byte 4");
            c.end();
            table.header = h;
        } else if (key.equals("trigger")) {
            Entry e = new Entry();
            e.trigger.triggerType = c.number(Integer.MIN_VALUE, Integer.MAX_VALUE, "trigger type");
            e.trigger.value = c.number(Integer.MIN_VALUE, Integer.MAX_VALUE, "trigger value");
            e.action.actionType = c.number(Integer.MIN_VALUE, Integer.MAX_VALUE, "action type");
            e.action.value = c.number(Integer.MIN_VALUE, Integer.MAX_VALUE, "action value");
            e.action.fileName = c.quoted();
            if (e.action.fileName.length() > MAX_NAME_UNITS) {
                throw new IllegalArgumentException("the show name is longer than " + MAX_NAME_UNITS + " UTF-16 units");
            }
            c.end();
            table.triggers.add(e);
        } else {
            throw new IllegalArgumentException("unknown key '" + key + "' (expected header or trigger)");
        }
    }

    /** Reads the values of one line from left to right. */
    private static final class Cursor {
        private final String s;
        private int at;

        Cursor(String s) {
            this.s = s;
        }

        private void skipSpaces() {
            while (at < s.length() && (s.charAt(at) == ' ' || s.charAt(at) == '\t')) ++at;
        }

        int number(long min, long max, String what) {
            skipSpaces();
            int start = at;
            while (at < s.length() && s.charAt(at) != ' ' && s.charAt(at) != '\t') ++at;
            String token = s.substring(start, at);
            if (token.isEmpty()) throw new IllegalArgumentException("the " + what + " is missing");
            long v;
            try {
                boolean negative = token.startsWith("-");
                String digits = negative ? token.substring(1) : token;
                if (digits.startsWith("+") || digits.startsWith("-")) throw new NumberFormatException();
                v = digits.startsWith("0x") || digits.startsWith("0X")
                        ? Long.parseLong(digits.substring(2), 16) : Long.parseLong(digits);
                if (negative) v = -v;
            } catch (NumberFormatException e) {
                throw new IllegalArgumentException("the " + what + " '" + token + "' is not a number");
            }
            if (v < min || v > max) {
                throw new IllegalArgumentException("the " + what + " " + v + " is outside " + min + ".." + max);
            }
            return (int) v;
        }

        String quoted() {
            skipSpaces();
            if (at >= s.length() || s.charAt(at) != '"') {
                throw new IllegalArgumentException("the show name must be in double quotes");
            }
            StringBuilder b = new StringBuilder();
            for (++at; at < s.length(); ++at) {
                char ch = s.charAt(at);
                if (ch == '"') {
                    ++at;
                    return b.toString();
                }
                if (ch == '\\') {
                    if (++at >= s.length()) break;
                    char next = s.charAt(at);
                    if (next == '"' || next == '\\') {
                        b.append(next);
                    } else if (next == 'u' && at + 4 < s.length()) {
                        try {
                            b.append((char) Integer.parseInt(s.substring(at + 1, at + 5), 16));
                        } catch (NumberFormatException e) {
                            throw new IllegalArgumentException("a bad \\u escape in the show name");
                        }
                        at += 4;
                    } else {
                        throw new IllegalArgumentException("an unknown escape \\" + next + " in the show name");
                    }
                } else {
                    b.append(ch);
                }
            }
            throw new IllegalArgumentException("the show name has no closing quote");
        }

        void end() {
            skipSpaces();
            if (at < s.length()) throw new IllegalArgumentException("unexpected '" + s.substring(at) + "' at the end");
        }
    }
}
