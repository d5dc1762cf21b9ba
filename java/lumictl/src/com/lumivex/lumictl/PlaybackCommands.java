package com.lumivex.lumictl;

import com.lumivex.controller.DevException;
import java.util.concurrent.Callable;
import picocli.CommandLine.ArgGroup;
import picocli.CommandLine.Command;
import picocli.CommandLine.Mixin;
import picocli.CommandLine.Option;
import picocli.CommandLine.Parameters;

/** {@code lumictl play} and {@code lumictl stop}: playback of a stored show by the controller itself. */
final class PlaybackCommands {
    private PlaybackCommands() {
    }

    /** How long {@code play} stays. */
    static final class Duration {
        @Option(names = "--seconds", paramLabel = "S",
                description = "Stop playback after S seconds (default: when Ctrl+C is pressed).")
        Double seconds;

        @Option(names = "--detach",
                description = "Start playback and leave at once. Whether the controller plays on once lumictl "
                        + "has closed it is the controller's business (the simulator stops).")
        boolean detach;
    }

    @Command(name = "play", mixinStandardHelpOptions = true,
            description = {"Starts the controller playing a stored show and stops it again after --seconds or "
                    + "on Ctrl+C."})
    static final class Play implements Callable<Integer> {
        @Parameters(index = "0", paramLabel = "SHOW", description = "The show's name on the controller.")
        String show;

        @Mixin
        Controllers.Choice choice;

        @ArgGroup(exclusive = true, multiplicity = "0..1")
        Duration duration;

        @Override
        public Integer call() {
            Double seconds = duration == null ? null : duration.seconds;
            boolean detach = duration != null && duration.detach;
            if (seconds != null && !(seconds >= 0 && seconds < 1e9)) throw new Failure("--seconds must be 0 or more");
            try (Controllers.Open c = Controllers.open(choice, Controllers.Need.PLAYBACK)) {
                try {
                    c.device.startPlayback(show);
                } catch (DevException e) {
                    throw Failure.of("starting playback of " + Formats.quote(show) + " on " + c.label() + " failed", e);
                }
                if (detach) {
                    System.out.println("started playback of " + Formats.quote(show) + " on " + c.label());
                    return 0;
                }
                System.out.println("playing " + Formats.quote(show) + " on " + c.label()
                        + (seconds == null ? "; Ctrl+C stops it" : Formats.f(" for %s", Formats.seconds(seconds))));
                long start = System.nanoTime();
                Failure interrupted = null;
                try {
                    Cancellation.sleepUntil(seconds == null ? Long.MAX_VALUE / 2 + start
                            : start + (long) (seconds * 1e9));
                } catch (Failure e) {
                    interrupted = e;
                }
                try {
                    c.device.stopPlayback();
                } catch (DevException e) {
                    throw Failure.of("stopping playback on " + c.label() + " failed", e);
                }
                System.out.println(Formats.f("stopped playback after %s", Formats.seconds((System.nanoTime() - start) / 1e9)));
                if (interrupted != null) throw interrupted;
            }
            return 0;
        }
    }

    @Command(name = "stop", mixinStandardHelpOptions = true,
            description = "Stops playback on a controller that plays on by itself.")
    static final class Stop implements Callable<Integer> {
        @Mixin
        Controllers.Choice choice;

        @Override
        public Integer call() {
            try (Controllers.Open c = Controllers.open(choice, Controllers.Need.PLAYBACK)) {
                try {
                    c.device.stopPlayback();
                } catch (DevException e) {
                    throw Failure.of("stopping playback on " + c.label() + " failed"
                            + (e.getCode() == 14 ? " (it is not playing)" : ""), e);
                }
                System.out.println("stopped playback on " + c.label());
            }
            return 0;
        }
    }
}
