package com.lumivex.lumictl;

import static com.lumivex.lumictl.Formats.f;

import com.lumivex.controller.DMXFrame;
import com.lumivex.controller.DevException;
import com.lumivex.controller.DevInfo;
import java.util.concurrent.Callable;
import picocli.CommandLine.Command;
import picocli.CommandLine.Mixin;
import picocli.CommandLine.Option;
import picocli.CommandLine.Parameters;

/** {@code lumictl live}: streams a show file to a controller's live play in real time. */
@Command(name = "live", mixinStandardHelpOptions = true,
        description = {"Streams the frames of a show file to a controller's live play at the show's frame "
                + "rate. Frame i is sent i / rate seconds after the first, by the clock, so a slow frame "
                + "does not delay the ones after it.",
                "Ctrl+C stops live play and ends with exit status 130."})
final class LiveCommand implements Callable<Integer> {
    @Parameters(index = "0", paramLabel = "FILE.dmx", description = "The show file to play.")
    String file;

    @Mixin
    Controllers.Choice choice;

    @Mixin
    Lumictl.ProgressOption progress;

    @Option(names = "--rate", paramLabel = "FPS",
            description = "Frames per second instead of the header's frame rate.")
    Double rate;

    @Option(names = "--loop", description = "Start again after the last frame, until Ctrl+C.")
    boolean loop;

    @Override
    public Integer call() {
        try (ShowFile in = ShowFile.open(file)) {
            double fps = rate != null ? rate : in.header().frameRate;
            if (!(fps > 0) || Double.isInfinite(fps) || fps > 1e6) {
                throw new Failure(rate != null ? "--rate must be a number above 0"
                        : f("%s has no usable frame rate (%s); give one with --rate", file, in.header().frameRate));
            }
            try (Controllers.Open c = Controllers.open(choice, Controllers.Need.LIVE)) {
                DevInfo info = c.info();
                if (in.width() > info.numberLivePlayChannels) {
                    throw new Failure(f("the frames of %s have %d channels; %s plays at most %d live", file,
                            in.width(), c.label(), info.numberLivePlayChannels));
                }
                play(c, in, fps);
            }
        }
        return 0;
    }

    private void play(Controllers.Open c, ShowFile in, double fps) {
        try {
            c.device.startLivePlay();
        } catch (DevException e) {
            throw Failure.of("starting live play on " + c.label() + " failed", e);
        }
        long total = loop ? 0 : in.header().totalFrames;
        Progress bar = new Progress(System.err, progress.mode, "live", "frames", total);
        DMXFrame frame = in.newFrame();
        double periodNanos = 1e9 / fps;
        long sent = 0;
        long late = 0;
        long start = System.nanoTime();
        Failure failure = null;
        try {
            while (true) {
                if (!in.read(frame)) {
                    if (!loop || in.framesRead() == 0) break;
                    in.rewind();
                    continue;
                }
                long due = start + Math.round(sent * periodNanos);
                Cancellation.sleepUntil(due);
                if (System.nanoTime() - due > periodNanos) ++late;
                try {
                    c.device.sendFrame(frame);
                } catch (DevException e) {
                    throw Failure.of(f("sending frame %d to %s failed", sent + 1, c.label()), e);
                }
                ++sent;
                bar.update(sent);
            }
            // The last frame stands for its own period before live play ends.
            Cancellation.sleepUntil(start + Math.round(sent * periodNanos));
            bar.finish();
        } catch (Failure e) {
            bar.abandon();
            failure = e;
        }
        double seconds = (System.nanoTime() - start) / 1e9;
        try {
            c.device.stopLivePlay();
        } catch (DevException e) {
            if (failure == null) failure = Failure.of("stopping live play on " + c.label() + " failed", e);
        }
        System.out.println(f("sent %d frames of %s live to %s in %s (%.1f frames/s); %d late by more than a frame",
                sent, file, c.label(), Formats.seconds(seconds), sent / Math.max(seconds, 1e-9), late));
        if (failure != null) throw failure;
    }
}
