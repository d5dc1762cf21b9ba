package com.lumivex.demo;

import com.lumivex.controller.DMXFrame;
import com.lumivex.controller.DevEntry;
import com.lumivex.controller.DevException;
import com.lumivex.controller.DevInfo;
import com.lumivex.controller.DevState;
import com.lumivex.controller.Lumidrive;
import java.util.ArrayList;
import java.util.List;

/**
 * Finds the attached controllers, opens the first that plays live, prints
 * its information and streams a chase of live frames to it. Uses nothing but
 * the controller jar and the native libraries.
 *
 * <p>Usage: {@code java -Djava.library.path=<lib> -cp lumivex-controller.jar:<this> com.lumivex.demo.LiveDemo [frames]}
 */
public final class LiveDemo {
    private LiveDemo() {
    }

    /**
     * Runs the demo.
     *
     * @param args optionally the number of frames to send (default 200)
     * @throws DevException when a controller operation fails
     */
    public static void main(String[] args) throws DevException {
        final int frames = args.length > 0 ? Integer.parseInt(args[0]) : 200;
        System.out.printf("controller library %d.%d.%d%n", Lumidrive.getLibraryMajorRevision(),
                Lumidrive.getLibraryMinorRevision(), Lumidrive.getLibraryBuildRevision());

        List<DevEntry> found = new ArrayList<>();
        DevEntry entry = new DevEntry();
        for (int r = Lumidrive.getFirstDevice(entry); r == 0; r = Lumidrive.getNextDevice(entry)) {
            System.out.printf("found %s (type %d, number %d, classes 0x%x)%n", entry, entry.deviceType,
                    entry.deviceNumber, entry.deviceClasses);
            found.add(entry);
            entry = new DevEntry();
        }
        DevEntry live = null;
        for (DevEntry e : found) {
            if (Lumidrive.supportsLivePlay(e.deviceClasses)) {
                live = e;
                break;
            }
        }
        if (live == null) {
            System.err.println("no controller that plays live");
            System.exit(1);
        }

        Lumidrive device = new Lumidrive();
        device.openDevice(live);
        try {
            DevInfo info = new DevInfo();
            device.getDeviceInfo(info);
            System.out.printf("opened %s: revision %s, %d live channels, %d bytes of store, %d shows at most%n",
                    live.deviceName, info.revision, info.numberLivePlayChannels, info.totalSpace,
                    info.maxNumberShows);

            DevState state = new DevState();
            device.startLivePlay();
            device.getDeviceState(state);
            System.out.printf("state during live play: %d%n", state.state);

            DMXFrame frame = new DMXFrame(info.numberLivePlayChannels);
            for (int n = 0; n < frames; ++n) {
                int head = (n * 8) % frame.dmxData.length;
                for (int ch = 0; ch < frame.dmxData.length; ++ch) {
                    int behind = (head - ch + frame.dmxData.length) % frame.dmxData.length;
                    frame.dmxData[ch] = behind < 16 ? 255 - behind * 12 : 0;
                }
                frame.timeCode = n;
                device.sendFrame(frame);
            }
            device.stopLivePlay();
            System.out.printf("sent %d live frames to %s%n", frames, live.deviceName);
        } finally {
            device.closeDevice();
        }
    }
}
