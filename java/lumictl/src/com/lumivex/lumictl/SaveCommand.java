package com.lumivex.lumictl;

import static com.lumivex.lumictl.Formats.f;

import com.lumivex.controller.DMXFrame;
import com.lumivex.controller.DevException;
import com.lumivex.controller.ShowtapeHeader;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.List;
import java.util.concurrent.Callable;
import picocli.CommandLine.Command;
import picocli.CommandLine.Mixin;
import picocli.CommandLine.Option;
import picocli.CommandLine.Parameters;

/** {@code lumictl save}: a stored show into a show file, then checked by reading it back. */
@Command(name = "save", mixinStandardHelpOptions = true,
        description = {"Copies a show stored on a controller, header and frames unchanged, into a show file, "
                + "then reads the file back and checks its name, header, frame count and frames.",
                "The file appears only when the whole show was copied; after a failure there is no file under "
                + "FILE and an earlier file there is left as it was."})
final class SaveCommand implements Callable<Integer> {
    @Parameters(index = "0", paramLabel = "SHOW", description = "The show's name on the controller.")
    String show;

    @Parameters(index = "1", paramLabel = "FILE.dmx", description = "The show file to write.")
    String file;

    @Mixin
    Controllers.Choice choice;

    @Mixin
    Lumictl.ProgressOption progress;

    @Option(names = {"-f", "--force"}, description = "Replace FILE if it exists.")
    boolean force;

    @Override
    public Integer call() {
        ShowFile.checkPath(file);
        ShowtapeHeader header = new ShowtapeHeader();
        long copied;
        FrameChecksum written = new FrameChecksum();
        String from;
        try (Controllers.Open c = Controllers.open(choice, Controllers.Need.STORE)) {
            from = c.label();
            try {
                c.device.openFile(show, header);
            } catch (DevException e) {
                throw Failure.of("cannot open show " + Formats.quote(show) + " on " + c.label(), e);
            }
            copied = copyOpenShow(c, header, written);
        }
        if (copied != header.totalFrames) {
            System.err.println(f("note: the header says %d frames; the show holds %d (the header is saved unchanged)",
                    header.totalFrames, copied));
        }
        verify(header, written);
        Double seconds = Formats.duration(copied, header);
        System.out.println(f("saved %s from %s to %s: %d frames, %d bytes%s; read back and verified",
                Formats.quote(show), from, file, copied, size(file),
                seconds == null ? "" : ", " + Formats.seconds(seconds)));
        return 0;
    }

    /** Copies the show opened on {@code c}, closes it there and moves the file into place. */
    private long copyOpenShow(Controllers.Open c, ShowtapeHeader header, FrameChecksum written) {
        boolean reading = true;
        Progress bar = new Progress(System.err, progress.mode, "saving", "frames", header.totalFrames);
        long copied = 0;
        try {
            int width = ShowCopy.frameWidth(header, show);
            ShowFile.Writer out = ShowFile.Writer.create(file, show, header, force);
            DMXFrame frame = new DMXFrame(width);
            try {
                copied = ShowCopy.copy(c.device, frame, out, written, bar);
            } catch (Failure e) {
                bar.abandon();
                throw new Failure(e.getMessage() + f("; %d of %d frames were copied and nothing was saved to %s",
                        written.frames(), header.totalFrames, file), e.exitStatus(), e);
            }
            bar.finish();
            try {
                c.device.closeFile();
                reading = false;
            } catch (DevException e) {
                throw Failure.of("closing the show on " + c.label() + " failed; nothing was saved to " + file, e);
            }
            out.commit();
        } finally {
            if (reading) closeQuietly(c);
        }
        return copied;
    }

    /** Ends the reading on the controller after a failure; the first failure is the one reported. */
    private static void closeQuietly(Controllers.Open c) {
        try {
            c.device.closeFile();
        } catch (DevException ignored) {
            // Closing the controller, which follows, ends the reading too.
        }
    }

    /** Reads the file back: name, header, frame count and every frame must be what was written. */
    private void verify(ShowtapeHeader header, FrameChecksum written) {
        FrameChecksum read = new FrameChecksum();
        try (ShowFile back = ShowFile.open(file)) {
            if (!back.name().equals(show)) {
                throw new Failure(f("verification of %s failed: the show's name reads back as %s, not %s", file,
                        Formats.quote(back.name()), Formats.quote(show)));
            }
            List<String> differences = ShowCopy.headerDifferences(header, back.header());
            if (!differences.isEmpty()) {
                throw new Failure("verification of " + file + " failed: the header differs (written / read): "
                        + String.join(", ", differences));
            }
            DMXFrame frame = back.newFrame();
            while (back.read(frame)) {
                read.add(frame);
                if ((read.frames() & 255) == 0) Cancellation.check();
            }
        }
        if (read.frames() != written.frames()) {
            throw new Failure(f("verification of %s failed: %d frames were written, %d read back", file,
                    written.frames(), read.frames()));
        }
        if (read.value() != written.value()) {
            throw new Failure(f("verification of %s failed: the frames read back differ from those written", file));
        }
    }

    static long size(String path) {
        try {
            return Files.size(Paths.get(path));
        } catch (IOException | RuntimeException e) {
            return -1;
        }
    }
}
