package com.lumivex.lumictl;

import static com.lumivex.lumictl.Formats.f;

import com.lumivex.controller.DMXFrame;
import com.lumivex.controller.ShowtapeHeader;
import java.io.BufferedReader;
import java.io.BufferedWriter;
import java.io.IOException;
import java.io.OutputStreamWriter;
import java.io.Writer;
import java.nio.charset.StandardCharsets;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;
import java.nio.file.StandardOpenOption;
import java.util.Arrays;
import java.util.LinkedHashMap;
import java.util.Map;
import java.util.concurrent.Callable;
import picocli.CommandLine.Command;
import picocli.CommandLine.Mixin;
import picocli.CommandLine.Option;
import picocli.CommandLine.Parameters;

/** {@code lumictl export-ola} and {@code lumictl import-ola}: show files to and from OLA shows. */
final class OlaCommands {
    private OlaCommands() {
    }

    /** How export-ola times the frames. */
    enum Timing { AUTO, RATE, TIMECODE }

    @Command(name = "export-ola", mixinStandardHelpOptions = true,
            description = {"Converts a show file into an OLA show (the text format of the Open Lighting "
                    + "Architecture's recorder).",
                "Frame i is due at i / frameRate (--timing=rate) or at its time code in milliseconds after the "
                    + "first frame's (--timing=timecode); the default takes the rate for a constant-rate show and "
                    + "the time codes otherwise. Each delay is the difference of the rounded due times, so a long "
                    + "show does not drift; the last frame gets a delay too, so the OLA show lasts as long as the "
                    + "show.",
                "OLA frames carry no start code: frames with a start code other than 0 are left out (their time "
                    + "goes to the frame before them) and counted on standard error, or refused with --strict."})
    static final class Export implements Callable<Integer> {
        @Parameters(index = "0", paramLabel = "FILE.dmx", description = "The show file.")
        String file;

        @Parameters(index = "1", paramLabel = "OUT", description = "The OLA show to write.")
        String out;

        @Option(names = "--universe", paramLabel = "U", defaultValue = "1",
                description = "The universe the frames go to. Default: ${DEFAULT-VALUE}.")
        long universe = 1;

        @Option(names = "--timing", paramLabel = "HOW", defaultValue = "auto",
                description = "auto, rate or timecode. Default: ${DEFAULT-VALUE}.")
        Timing timing = Timing.AUTO;

        @Option(names = "--strict", description = "Fail on a frame with a start code other than 0.")
        boolean strict;

        @Option(names = {"-f", "--force"}, description = "Replace OUT if it exists.")
        boolean force;

        @Mixin
        Lumictl.ProgressOption progress;

        @Override
        public Integer call() throws IOException {
            if (universe < 0 || universe > OlaShow.MAX_DELAY) throw new Failure("--universe must be 0 to 4294967295");
            Path target = Paths.get(out);
            if (!force && Files.exists(target)) throw new Failure(out + " exists (--force replaces it)");
            try (ShowFile in = ShowFile.open(file)) {
                ShowtapeHeader h = in.header();
                if (in.width() > OlaShow.MAX_CHANNELS) {
                    throw new Failure(f("the frames of %s have %d channels; an OLA universe holds %d", file, in.width(),
                            OlaShow.MAX_CHANNELS));
                }
                boolean rateUsable = h.frameRate > 0 && !Double.isInfinite(h.frameRate);
                Timing how = timing != Timing.AUTO ? timing
                        : h.constantFrameRate && rateUsable ? Timing.RATE : Timing.TIMECODE;
                if (how == Timing.RATE && !rateUsable) {
                    throw new Failure(f("%s has no usable frame rate (%s); try --timing=timecode", file, h.frameRate));
                }
                Path temporary = temporaryBeside(target);
                try {
                    Result r;
                    try (Writer w = new BufferedWriter(new OutputStreamWriter(Files.newOutputStream(temporary),
                            StandardCharsets.US_ASCII), 1 << 16)) {
                        r = convert(in, w, how, rateUsable ? h.frameRate : 0);
                    }
                    move(temporary, target);
                    report(r, how, h);
                } finally {
                    Files.deleteIfExists(temporary);
                }
            }
            return 0;
        }

        private static final class Result {
            long frames;
            long exported;
            long skipped;
            long firstSkipped;
            long leading;
            long totalMillis;
        }

        private Result convert(ShowFile in, Writer w, Timing how, double rate) throws IOException {
            Result r = new Result();
            Progress bar = new Progress(System.err, progress.mode, "exporting", "frames", in.header().totalFrames);
            DMXFrame frame = in.newFrame();
            StringBuilder scratch = new StringBuilder();
            OlaShow.writeFirstLine(w);
            long firstTimeCode = 0;
            long previousTimeCode = 0;
            long previousDue = 0;
            double lastTime = 0;
            while (in.read(frame)) {
                long i = r.frames++;
                double time;
                if (how == Timing.RATE) {
                    time = i * 1000.0 / rate;
                } else {
                    if (i == 0) firstTimeCode = frame.timeCode;
                    if (i > 0 && frame.timeCode < previousTimeCode) {
                        throw new Failure(f("%s: the time code of frame %d (%d) is below that of the frame before "
                                + "(%d); try --timing=rate", file, i + 1, frame.timeCode, previousTimeCode));
                    }
                    previousTimeCode = frame.timeCode;
                    time = (double) (frame.timeCode - firstTimeCode);
                }
                lastTime = time;
                if (frame.startCode != 0) {
                    if (strict) {
                        throw new Failure(f("%s: frame %d has start code %d and OLA shows hold only start code 0 "
                                + "frames (without --strict such frames are left out)", file, i + 1, frame.startCode));
                    }
                    if (r.skipped++ == 0) r.firstSkipped = i + 1;
                    if (r.exported == 0) ++r.leading;
                    continue;
                }
                long due = Math.round(time);
                if (r.exported > 0) r.totalMillis += delay(w, due - previousDue);
                OlaShow.writeFrame(w, scratch, universe, frame.dmxData);
                previousDue = due;
                ++r.exported;
                if ((r.frames & 255) == 0) Cancellation.check();
                bar.update(r.frames);
            }
            bar.finish();
            if (r.exported > 0) {
                // The last frame lasts one frame period; without a rate its time is unknown.
                double end = how == Timing.RATE ? r.frames * 1000.0 / rate
                        : rate > 0 ? lastTime + 1000.0 / rate : Double.NaN;
                if (!Double.isNaN(end)) r.totalMillis += delay(w, Math.round(end) - previousDue);
            }
            return r;
        }

        private long delay(Writer w, long millis) throws IOException {
            if (millis > OlaShow.MAX_DELAY) {
                throw new Failure(f("%s: a delay of %d ms is longer than an OLA show can hold", file, millis));
            }
            OlaShow.writeDelay(w, millis);
            return millis;
        }

        private void move(Path temporary, Path target) throws IOException {
            try {
                if (force) {
                    Files.move(temporary, target, StandardCopyOption.REPLACE_EXISTING, StandardCopyOption.ATOMIC_MOVE);
                    return;
                }
                try {
                    // A link fails when the name has been taken meanwhile, where a rename would replace it.
                    Files.createLink(target, temporary);
                } catch (UnsupportedOperationException | FileAlreadyExistsException e) {
                    throw e;
                } catch (IOException noLinks) {
                    Files.move(temporary, target);  // a file system without hard links
                }
            } catch (FileAlreadyExistsException e) {
                throw new Failure(out + " exists (--force replaces it)");
            }
        }

        private void report(Result r, Timing how, ShowtapeHeader h) {
            if (r.skipped > 0) {
                System.err.println(f("note: left out %d frame%s with a start code other than 0 (the first is frame "
                        + "%d); their time went to the frame before each%s", r.skipped, r.skipped == 1 ? "" : "s",
                        r.firstSkipped, r.leading > 0 ? f(", except %d at the start, which the OLA show "
                        + "does not keep", r.leading) : ""));
            }
            System.out.println(f("exported %d of %d frames of %s to %s (universe %d, timed by %s): %s", r.exported,
                    r.frames, file, out, universe, how == Timing.RATE ? "the frame rate " + Formats.rate(h.frameRate)
                    : "the time codes", Formats.seconds(r.totalMillis / 1000.0)));
        }
    }

    @Command(name = "import-ola", mixinStandardHelpOptions = true,
            description = {"Converts an OLA show (the text format of the Open Lighting Architecture's recorder) "
                    + "into a show file: one universe, start code 0, time code the milliseconds since the first "
                    + "frame.",
                "When the delays are those of a constant frame rate (rounded to whole milliseconds) the header "
                    + "says so with that rate; otherwise it gives the average rate and says the rate is not "
                    + "constant. Frames narrower than the widest are padded with zeros, and a note says how many."})
    static final class Import implements Callable<Integer> {
        @Parameters(index = "0", paramLabel = "IN", description = "The OLA show.")
        String in;

        @Parameters(index = "1", paramLabel = "FILE.dmx", description = "The show file to write.")
        String file;

        @Option(names = "--universe", paramLabel = "U",
                description = "The universe to import. Default: the only one the OLA show holds.")
        Long universe;

        @Option(names = "--name", paramLabel = "NAME",
                description = "The show's name. Default: IN's file name without its extension.")
        String name;

        @Option(names = {"-f", "--force"}, description = "Replace FILE if it exists.")
        boolean force;

        @Mixin
        Lumictl.ProgressOption progress;

        /** The frames of the chosen universe as the first pass found them. */
        private static final class Scan {
            final Map<Long, Long> framesPerUniverse = new LinkedHashMap<>();
            Long chosen;
            long firstTime = -1;
            int[] times = new int[1024];
            int count;
            int widest;
            int narrower;
            long endTime = -1;
        }

        @Override
        public Integer call() throws IOException {
            ShowFile.checkPath(file);
            Scan scan = scan();
            Path source = Paths.get(in);
            String show = name != null ? name : baseName(source);
            RateGuess rate = RateGuess.of(scan.times, scan.count, scan.endTime);
            ShowtapeHeader h = new ShowtapeHeader();
            h.constantFrameRate = rate.constant;
            h.frameRate = rate.rate;
            h.loopShow = false;
            h.date = System.currentTimeMillis() / 1000;
            h.numberChannels = scan.widest;
            h.totalFrames = scan.count;
            String from = source.getFileName() == null ? in : source.getFileName().toString();
            h.commentField = cut("Imported from the OLA show " + from);
            h.effectSignature = "";
            ShowFile.Writer w = ShowFile.Writer.create(file, show, h, force);
            write(scan, w, h);
            w.commit();
            if (scan.narrower > 0) {
                System.err.println(f("note: %d frame%s narrower than %d channels %s padded with zeros",
                        scan.narrower, scan.narrower == 1 ? "" : "s", scan.widest, scan.narrower == 1 ? "was" : "were"));
            }
            System.out.println(f("imported %d frames of universe %d from %s into %s as %s: %s frames/s%s%s",
                    scan.count, scan.chosen == null ? 0 : scan.chosen, in, file, Formats.quote(show),
                    Formats.rate(rate.rate), rate.constant ? " constant" : " on average, not constant",
                    scan.count > 0 ? ", last frame at " + Formats.seconds(scan.times[scan.count - 1] / 1000.0) : ""));
            return 0;
        }

        private BufferedReader open() throws IOException {
            try {
                return Files.newBufferedReader(Paths.get(in), StandardCharsets.ISO_8859_1);
            } catch (NoSuchFileException e) {
                throw new Failure("cannot read " + in + ": no such file");
            }
        }

        /** First pass: checks every line and finds the universe, the times and the widest frame. */
        private Scan scan() throws IOException {
            Scan s = new Scan();
            s.chosen = universe;
            try (BufferedReader r = open()) {
                OlaShow.Summary summary = OlaShow.read(r, in, (line, u, values, count, time) -> {
                    s.framesPerUniverse.merge(u, 1L, Long::sum);
                    if (s.chosen == null) s.chosen = u;
                    if (u != s.chosen) return;
                    if (s.firstTime < 0) s.firstTime = time;
                    long relative = time - s.firstTime;
                    if (relative > Integer.MAX_VALUE) {
                        throw new Failure(f("%s:%d: the frame comes %d ms after the first, more than a time code "
                                + "holds", in, line, relative));
                    }
                    if (s.count == s.times.length) s.times = Arrays.copyOf(s.times, s.count * 2);
                    s.times[s.count++] = (int) relative;
                    s.widest = Math.max(s.widest, count);
                });
                if (summary.endTime >= 0 && s.firstTime >= 0) s.endTime = summary.endTime - s.firstTime;
            }
            if (universe == null && s.framesPerUniverse.size() > 1) {
                throw new Failure(f("%s holds the universes %s; choose one with --universe", in,
                        s.framesPerUniverse.keySet()));
            }
            if (universe != null && s.count == 0 && !s.framesPerUniverse.isEmpty()) {
                throw new Failure(f("%s holds no frame of universe %d (it holds %s)", in, universe,
                        s.framesPerUniverse.keySet()));
            }
            return s;
        }

        /** Second pass: the frames of the chosen universe into the show file. */
        private void write(Scan s, ShowFile.Writer w, ShowtapeHeader h) throws IOException {
            Progress bar = new Progress(System.err, progress.mode, "importing", "frames", s.count);
            DMXFrame frame = new DMXFrame(s.widest);
            long[] written = {0};
            try (BufferedReader r = open()) {
                OlaShow.read(r, in, (line, u, values, count, time) -> {
                    if (s.chosen == null || u != s.chosen) return;
                    if (written[0] >= s.count) throw new Failure(in + " changed while it was read");
                    System.arraycopy(values, 0, frame.dmxData, 0, count);
                    Arrays.fill(frame.dmxData, count, s.widest, 0);
                    if (count < s.widest) ++s.narrower;
                    frame.startCode = 0;
                    frame.timeCode = s.times[(int) written[0]];
                    w.write(frame);
                    ++written[0];
                    if ((written[0] & 255) == 0) Cancellation.check();
                    bar.update(written[0]);
                });
            }
            bar.finish();
            if (written[0] != s.count) throw new Failure(in + " changed while it was read");
        }

        private static String baseName(Path p) {
            Path f = p.getFileName();
            String base = f == null ? "show" : f.toString();
            int dot = base.lastIndexOf('.');
            if (dot > 0) base = base.substring(0, dot);
            return base.isEmpty() ? "show" : base;
        }

        /** A header text fits 255 UTF-16 units. */
        private static String cut(String s) {
            if (s.length() <= 255) return s;
            int end = Character.isHighSurrogate(s.charAt(254)) ? 254 : 255;
            return s.substring(0, end);
        }
    }

    /**
     * A new, empty temporary file next to {@code target}, for writing it whole
     * before it gets its name. Created like any new file (mode 0666 less the
     * umask), so the result has the permissions a plain write would give it.
     */
    static Path temporaryBeside(Path target) throws IOException {
        Path dir = target.toAbsolutePath().getParent();
        Path name = target.getFileName();
        if (dir == null || name == null) throw new Failure(target + " is not a file name");
        if (Files.isDirectory(target)) throw new Failure(target + " is a folder");
        java.util.Random random = new java.security.SecureRandom();
        for (int attempt = 0; ; ++attempt) {
            Path candidate = dir.resolve(f(".%s.tmp-%06x", name, random.nextInt(1 << 24)));
            try {
                Files.newOutputStream(candidate, StandardOpenOption.CREATE_NEW, StandardOpenOption.WRITE).close();
                return candidate;
            } catch (FileAlreadyExistsException taken) {
                if (attempt == 100) throw taken;
            } catch (NoSuchFileException e) {
                throw new Failure("cannot write " + target + ": the folder " + dir + " does not exist");
            }
        }
    }

    /** Whether OLA delays fit a constant frame rate, and which. */
    static final class RateGuess {
        final boolean constant;
        final double rate;

        private RateGuess(boolean constant, double rate) {
            this.constant = constant;
            this.rate = rate;
        }

        /**
         * Frame j of {@code n} comes {@code times[j]} ms after the first; {@code end} is the time after the last
         * frame's delay, or -1 when the show has none. The rate spans the whole show: n frames over {@code end},
         * or n - 1 intervals up to the last frame. It is constant when every time is that rate's time rounded
         * to a millisecond, trying the rate rounded to a whole number, that number times 1000/1001 (the
         * video rates such as 29.97) and the rate rounded to 3 decimals first; within 1 ms still counts as
         * constant, at the measured rate.
         */
        static RateGuess of(int[] times, int n, long end) {
            long intervals = end >= 0 ? n : n - 1;
            long span = end >= 0 ? end : n > 0 ? times[n - 1] : 0;
            if (n == 0 || intervals < 1 || span <= 0) return new RateGuess(false, 0);
            double measured = intervals * 1000.0 / span;
            // Whole rates, the video rates just below them (30000/1001 and the like), 3 decimals, as measured.
            double whole = Math.rint(measured);
            double[] candidates = {whole, whole * 1000 / 1001, Math.rint(measured * 1000) / 1000, measured};
            for (double c : candidates) {
                if (c > 0 && fits(times, n, end, c, 0)) return new RateGuess(true, c);
            }
            if (fits(times, n, end, measured, 1.0)) return new RateGuess(true, measured);
            return new RateGuess(false, measured);
        }

        private static boolean fits(int[] times, int n, long end, double rate, double tolerance) {
            for (int j = 0; j < n; ++j) {
                if (!near(times[j], j * 1000.0 / rate, tolerance)) return false;
            }
            return end < 0 || near(end, n * 1000.0 / rate, tolerance);
        }

        private static boolean near(long actual, double exact, double tolerance) {
            return tolerance == 0 ? actual == Math.round(exact) : Math.abs(actual - exact) <= tolerance;
        }
    }
}
