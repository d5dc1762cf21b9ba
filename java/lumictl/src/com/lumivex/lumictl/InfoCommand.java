package com.lumivex.lumictl;

import static com.lumivex.lumictl.Formats.f;

import com.lumivex.controller.DMXFrame;
import com.lumivex.controller.ShowtapeHeader;
import java.util.concurrent.Callable;
import picocli.CommandLine.Command;
import picocli.CommandLine.Parameters;

/** {@code lumictl info}: a show file's header, name, frame count and duration. */
@Command(name = "info", mixinStandardHelpOptions = true,
        description = {"Shows a show file's name and header, and reads every frame to count them and check the "
                + "file: a damaged or cut file fails with the show-file library's code."})
final class InfoCommand implements Callable<Integer> {
    @Parameters(index = "0", paramLabel = "FILE.dmx", description = "The show file.")
    String file;

    @Override
    public Integer call() {
        try (ShowFile in = ShowFile.open(file)) {
            ShowtapeHeader h = in.header();
            DMXFrame frame = in.newFrame();
            long frames = 0;
            long firstTime = 0;
            long lastTime = 0;
            long otherStartCodes = 0;
            while (in.read(frame)) {
                if (frames == 0) firstTime = frame.timeCode;
                lastTime = frame.timeCode;
                if (frame.startCode != 0) ++otherStartCodes;
                ++frames;
                if ((frames & 255) == 0) Cancellation.check();
            }
            Double seconds = Formats.duration(frames, h);
            System.out.println("file:              " + file + " (" + SaveCommand.size(file) + " bytes)");
            System.out.println("name:              " + Formats.quote(in.name()));
            System.out.println("frames:            " + frames
                    + (frames == h.totalFrames ? "" : f(" (the header says %d)", h.totalFrames)));
            System.out.println("frame rate:        " + Formats.rate(h.frameRate) + " frames/s"
                    + (h.constantFrameRate ? ", constant" : ", not constant"));
            System.out.println("duration:          " + (seconds == null ? "unknown (no frame rate)"
                    : Formats.seconds(seconds)));
            System.out.println("channels:          " + h.numberChannels);
            System.out.println("loops:             " + (h.loopShow ? "yes" : "no"));
            System.out.println("date:              " + h.date + " (" + Formats.unixTime(h.date) + ")");
            System.out.println("comment:           " + Formats.quote(h.commentField));
            System.out.println("effect signature:  " + Formats.quote(h.effectSignature));
            if (frames > 0) {
                System.out.println(f("time codes:        %d to %d", firstTime, lastTime));
            }
            if (otherStartCodes > 0) {
                System.out.println(f("start codes:       %d frames with a start code other than 0", otherStartCodes));
            }
        }
        return 0;
    }
}
