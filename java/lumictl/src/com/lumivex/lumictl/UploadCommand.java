package com.lumivex.lumictl;

import static com.lumivex.lumictl.Formats.f;

import com.lumivex.controller.DMXFrame;
import com.lumivex.controller.DevException;
import com.lumivex.controller.DevInfo;
import com.lumivex.controller.DevTestWrite;
import com.lumivex.controller.Lumidrive;
import com.lumivex.controller.ShowtapeHeader;
import java.nio.file.Paths;
import java.util.Arrays;
import java.util.concurrent.Callable;
import picocli.CommandLine.Command;
import picocli.CommandLine.Mixin;
import picocli.CommandLine.Option;
import picocli.CommandLine.Parameters;

/** {@code lumictl upload}: a show file onto a controller, after a test upload says it fits. */
@Command(name = "upload", mixinStandardHelpOptions = true,
        description = {"Stores a show file on a controller. A test upload of the whole show comes first; when "
                + "the controller says the show will not fit, nothing is uploaded and the sizes are shown.",
                "When the upload fails half-way it is abandoned, not completed, so no part of the show is kept."})
final class UploadCommand implements Callable<Integer> {
    @Parameters(index = "0", paramLabel = "FILE.dmx", description = "The show file to upload.")
    String file;

    @Parameters(index = "1", arity = "0..1", paramLabel = "NAME",
            description = "The show's name on the controller. Default: the name stored in the file, or the "
                    + "file's name without .dmx when that is empty.")
    String name;

    @Mixin
    Controllers.Choice choice;

    @Mixin
    Lumictl.ProgressOption progress;

    @Option(names = {"-f", "--force"}, description = "Replace a show of that name on the controller.")
    boolean force;

    @Option(names = "--batch", paramLabel = "FRAMES", defaultValue = "64",
            description = "Frames sent to the controller per call. Default: ${DEFAULT-VALUE}.")
    int batch = 64;

    @Override
    public Integer call() {
        if (batch < 1) throw new Failure("--batch must be at least 1");
        try (ShowFile in = ShowFile.open(file)) {
            String show = name != null ? name : defaultName(in);
            ShowtapeHeader header = in.header();
            try (Controllers.Open c = Controllers.open(choice, Controllers.Need.STORE)) {
                DevTestWrite verdict = testUpload(c, in, show, header);
                if (!verdict.willFit) {
                    throw new Failure(refusal(c, show, verdict.totalSize));
                }
                in.rewind();
                long frames = upload(c, in, show, header);
                long free = freeSpace(c);
                System.out.println(f("uploaded %s to %s as %s: %d frames, %d bytes; %d bytes free",
                        file, c.label(), Formats.quote(show), frames, verdict.totalSize, free));
            }
        }
        return 0;
    }

    private static String defaultName(ShowFile in) {
        if (!in.name().isEmpty()) return in.name();
        String base = Paths.get(in.path()).getFileName().toString();
        return base.endsWith(".dmx") && base.length() > 4 ? base.substring(0, base.length() - 4) : base;
    }

    private DevTestWrite testUpload(Controllers.Open c, ShowFile in, String show, ShowtapeHeader header) {
        Lumidrive d = c.device;
        try {
            d.createTestFile(show, header, force);
        } catch (DevException e) {
            throw Failure.of("test upload of " + Formats.quote(show) + " to " + c.label() + " refused"
                    + (e.getCode() == 15 ? " (a show of that name exists; --force replaces it)" : ""), e);
        }
        Progress bar = new Progress(System.err, progress.mode, "checking", "frames", header.totalFrames);
        long sent = sendAll(in, bar, frames -> d.writeTestFrames(frames), "test upload");
        bar.finish();
        DevTestWrite verdict = new DevTestWrite();
        try {
            d.closeTestFile(verdict);
        } catch (DevException e) {
            throw Failure.of(f("test upload of %s to %s failed at its end, after %d frames", Formats.quote(show),
                    c.label(), sent), e);
        }
        return verdict;
    }

    private long upload(Controllers.Open c, ShowFile in, String show, ShowtapeHeader header) {
        Lumidrive d = c.device;
        try {
            d.createFile(show, header, force);
        } catch (DevException e) {
            throw Failure.of("upload of " + Formats.quote(show) + " to " + c.label() + " refused", e);
        }
        Progress bar = new Progress(System.err, progress.mode, "uploading", "frames", header.totalFrames);
        long sent = sendAll(in, bar, frames -> d.writeFrames(frames), "upload");
        bar.finish();
        try {
            d.closeFile();
        } catch (DevException e) {
            throw Failure.of(f("upload of %s to %s failed at its end, after %d frames; the controller did not "
                    + "store it", Formats.quote(show), c.label(), sent), e);
        }
        return sent;
    }

    /** Something that takes a batch of frames. */
    private interface BatchSink {
        void send(DMXFrame[] frames) throws DevException;
    }

    /**
     * Reads the whole file and sends it in batches. On a failure the message
     * says where; the caller's try block then closes the controller, which
     * abandons the unfinished upload instead of storing part of it.
     */
    private long sendAll(ShowFile in, Progress bar, BatchSink sink, String what) {
        DMXFrame[] frames = new DMXFrame[batch];
        for (int i = 0; i < batch; ++i) frames[i] = in.newFrame();
        long sent = 0;
        try {
            while (true) {
                Cancellation.check();
                int n = 0;
                while (n < batch && in.read(frames[n])) ++n;
                if (n == 0) break;
                try {
                    sink.send(n == batch ? frames : Arrays.copyOf(frames, n));
                } catch (DevException e) {
                    throw Failure.of(f("%s failed in the batch of frames %d to %d", what, sent + 1, sent + n), e);
                }
                sent += n;
                bar.update(sent);
                if (n < batch) break;
            }
        } catch (Failure e) {
            bar.abandon();
            throw new Failure(e.getMessage() + "; the " + what + " was abandoned", e.exitStatus(), e);
        }
        return sent;
    }

    private static long freeSpace(Controllers.Open c) {
        try {
            return c.device.getFreeSpace();
        } catch (DevException e) {
            throw Failure.of("reading the free space of " + c.label() + " failed", e);
        }
    }

    private static String refusal(Controllers.Open c, String show, long needed) {
        DevInfo info = c.info();
        return f("%s does not fit on %s: it needs %d bytes and %d bytes are free (store %d bytes, at most %d "
                + "shows); nothing was uploaded", Formats.quote(show), c.label(), needed, freeSpace(c),
                info.totalSpace, info.maxNumberShows);
    }
}
