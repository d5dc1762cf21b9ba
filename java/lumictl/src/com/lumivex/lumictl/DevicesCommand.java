package com.lumivex.lumictl;

import static com.lumivex.lumictl.Formats.f;

import com.lumivex.controller.DevEntry;
import com.lumivex.controller.DevException;
import com.lumivex.controller.DevInfo;
import com.lumivex.controller.DevState;
import com.lumivex.controller.Lumidrive;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.Callable;
import picocli.CommandLine.Command;
import picocli.CommandLine.Option;

/** {@code lumictl devices}: the attached controllers. */
@Command(name = "devices", mixinStandardHelpOptions = true,
        description = {"Lists the attached controllers: number (for -c), name, port, type, number, classes, "
                + "and whether the show commands can use it (it stores shows).",
                "With --info, opens each one and shows its information and state."})
final class DevicesCommand implements Callable<Integer> {
    @Option(names = "--info", description = "Open each controller and show its information and state.")
    boolean info;

    @Override
    public Integer call() {
        List<DevEntry> all = Controllers.list();
        if (all.isEmpty()) {
            System.out.println("no controller found");
            return 0;
        }
        List<String[]> rows = new ArrayList<>();
        rows.add(new String[] {"#", "NAME", "PORT", "TYPE", "NUMBER", "CLASSES", "USABLE"});
        for (int i = 0; i < all.size(); ++i) {
            DevEntry e = all.get(i);
            rows.add(new String[] {Integer.toString(i + 1), e.deviceName, e.devicePort,
                Integer.toString(e.deviceType), Integer.toString(e.deviceNumber), classes(e.deviceClasses),
                Controllers.usable(e) ? "yes" : "no"});
        }
        printTable(rows);
        if (!info) return 0;
        int failures = 0;
        for (int i = 0; i < all.size(); ++i) {
            System.out.println();
            failures += printInfo(i + 1, all.get(i)) ? 0 : 1;
        }
        if (failures > 0) throw new Failure(failures + " of " + all.size() + " controllers could not be read");
        return 0;
    }

    /** "0x07 livePlay,playBackControl,playBackConfig", by the library's capability queries. */
    static String classes(int deviceClasses) {
        List<String> names = new ArrayList<>();
        if (Lumidrive.supportsLivePlay(deviceClasses)) names.add("livePlay");
        if (Lumidrive.supportsPlayBackControl(deviceClasses)) names.add("playBackControl");
        if (Lumidrive.supportsPlayBackConfig(deviceClasses)) names.add("playBackConfig");
        if (Lumidrive.supportsRecord(deviceClasses)) names.add("record");
        return f("0x%02X", deviceClasses) + (names.isEmpty() ? "" : " " + String.join(",", names));
    }

    /** Prints one controller's information; false (after saying why) when it cannot be read. */
    private static boolean printInfo(int number, DevEntry entry) {
        System.out.println(f("%d: %s", number, entry));
        Lumidrive device = new Lumidrive();
        try {
            device.openDevice(entry);
        } catch (DevException e) {
            System.out.println("  cannot open it: " + Codes.describe(e));
            return false;
        }
        boolean ok = true;
        try {
            DevInfo d = new DevInfo();
            device.getDeviceInfo(d);
            System.out.println("  revision:                 " + d.revision);
            System.out.println("  live play channels:       " + d.numberLivePlayChannels);
            System.out.println("  playback channels:        " + d.numberPlaybackChannels);
            System.out.println("  playback compression:     " + yesNo(d.canPlaybackCompress));
            System.out.println("  playback triggers:        " + d.numberPlaybackTriggers);
            System.out.println("  store size:               " + d.totalSpace + " bytes");
            System.out.println("  shows at most:            " + d.maxNumberShows);
            System.out.println("  can list files:           " + yesNo(d.canListFiles));
            System.out.println("  can read files:           " + yesNo(d.canReadFiles));
            System.out.println("  trigger header:           " + yesNo(d.hasTriggerHeader));
            System.out.println("  lowest frame rate:        " + Formats.rate(d.minFrameRate) + " frames/s");
            DevState s = new DevState();
            device.getDeviceState(s);
            System.out.println(f("  state:                    %d (%s)", s.state, Codes.stateName(s.state)));
        } catch (DevException e) {
            System.out.println("  cannot read it: " + Codes.describe(e));
            ok = false;
        } finally {
            try {
                device.closeDevice();
            } catch (DevException e) {
                System.out.println("  closing it failed: " + Codes.describe(e));
                ok = false;
            }
        }
        return ok;
    }

    private static String yesNo(boolean b) {
        return b ? "yes" : "no";
    }

    /** Columns padded to their widest cell. */
    static void printTable(List<String[]> rows) {
        int columns = rows.get(0).length;
        int[] widths = new int[columns];
        for (String[] row : rows) {
            for (int c = 0; c < columns; ++c) widths[c] = Math.max(widths[c], row[c].length());
        }
        for (String[] row : rows) {
            StringBuilder line = new StringBuilder();
            for (int c = 0; c < columns; ++c) {
                if (c > 0) line.append("  ");
                line.append(row[c]);
                if (c < columns - 1) line.append(" ".repeat(widths[c] - row[c].length()));
            }
            System.out.println(line);
        }
    }
}
