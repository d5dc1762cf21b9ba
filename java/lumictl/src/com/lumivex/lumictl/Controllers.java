package com.lumivex.lumictl;

import com.lumivex.controller.DevEntry;
import com.lumivex.controller.DevException;
import com.lumivex.controller.DevInfo;
import com.lumivex.controller.Lumidrive;
import java.util.ArrayList;
import java.util.List;
import picocli.CommandLine.Option;

/**
 * Finding the attached controllers and opening the one a command works on.
 * Controllers are numbered from 1 in the order the controller library
 * enumerates them, as {@code lumictl devices} lists them.
 */
final class Controllers {
    /** What a command needs of its controller; the default controller is the first that offers it. */
    enum Need {
        STORE("stores shows", "usable"),
        LIVE("plays live", "live play"),
        PLAYBACK("controls playback", "playback control");

        final String phrase;
        final String capability;

        Need(String phrase, String capability) {
            this.phrase = phrase;
            this.capability = capability;
        }

        boolean offeredBy(DevEntry entry) {
            switch (this) {
                case STORE: return Lumidrive.supportsPlayBackConfig(entry.deviceClasses);
                case LIVE: return Lumidrive.supportsLivePlay(entry.deviceClasses);
                default: return Lumidrive.supportsPlayBackControl(entry.deviceClasses);
            }
        }
    }

    /** The {@code -c} option every controller command takes. */
    static final class Choice {
        @Option(names = {"-c", "--controller"}, paramLabel = "N",
                description = "The controller: its number in 'lumictl devices' or its port. "
                        + "Default: the first controller that can do what the command needs.")
        String controller;
    }

    /** Guard against a library that never ends an enumeration. */
    private static final int MAX_CONTROLLERS = 4096;

    private Controllers() {
    }

    /** Every attached controller, in enumeration order. */
    static List<DevEntry> list() {
        List<DevEntry> found = new ArrayList<>();
        try {
            DevEntry entry = new DevEntry();
            for (int r = Lumidrive.getFirstDevice(entry); r == 0; r = Lumidrive.getNextDevice(entry)) {
                found.add(entry);
                if (found.size() >= MAX_CONTROLLERS) break;
                entry = new DevEntry();
            }
        } catch (DevException e) {
            throw Failure.of("cannot enumerate the controllers", e);
        }
        return found;
    }

    /** Whether the show commands can use a controller: it stores shows and hands them back. */
    static boolean usable(DevEntry entry) {
        return Lumidrive.supportsPlayBackConfig(entry.deviceClasses);
    }

    /** Opens the controller {@code choice} names, or the first that offers {@code need}. */
    static Open open(Choice choice, Need need) {
        List<DevEntry> all = list();
        if (all.isEmpty()) throw new Failure("no controller found");
        int index = -1;
        String wanted = choice == null ? null : choice.controller;
        if (wanted == null) {
            for (int i = 0; i < all.size() && index < 0; ++i) {
                if (need.offeredBy(all.get(i))) index = i;
            }
            if (index < 0) throw new Failure("no controller that " + need.phrase + " found (see 'lumictl devices')");
        } else {
            index = find(all, wanted);
        }
        DevEntry entry = all.get(index);
        Lumidrive device = new Lumidrive();
        try {
            device.openDevice(entry);
        } catch (DevException e) {
            throw Failure.of("cannot open controller " + (index + 1) + " (" + entry + ")", e);
        }
        return new Open(index + 1, entry, device);
    }

    private static int find(List<DevEntry> all, String wanted) {
        try {
            int n = Integer.parseInt(wanted.trim());
            if (n < 1 || n > all.size()) {
                throw new Failure("there is no controller " + n + " (" + all.size() + " found; see 'lumictl devices')");
            }
            return n - 1;
        } catch (NumberFormatException notANumber) {
            for (int i = 0; i < all.size(); ++i) {
                if (all.get(i).devicePort.equals(wanted)) return i;
            }
            throw new Failure("no controller on port '" + wanted + "' (see 'lumictl devices')");
        }
    }

    /** An open controller, closed by {@link #close()}. */
    static final class Open implements AutoCloseable {
        final int number;
        final DevEntry entry;
        final Lumidrive device;

        Open(int number, DevEntry entry, Lumidrive device) {
            this.number = number;
            this.entry = entry;
            this.device = device;
        }

        /** "controller 1 (Lumivex LD-512 on usb-1)". */
        String label() {
            return "controller " + number + " (" + entry + ")";
        }

        DevInfo info() {
            DevInfo info = new DevInfo();
            try {
                device.getDeviceInfo(info);
            } catch (DevException e) {
                throw Failure.of(label() + ": reading its information failed", e);
            }
            return info;
        }

        @Override
        public void close() {
            if (!device.isOpen()) return;
            try {
                device.closeDevice();
            } catch (DevException e) {
                throw Failure.of("closing " + label() + " failed", e);
            }
        }
    }
}
