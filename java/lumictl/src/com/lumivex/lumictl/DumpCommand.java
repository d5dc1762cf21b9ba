package com.lumivex.lumictl;

import com.lumivex.controller.DMXFrame;
import java.io.BufferedWriter;
import java.io.FileDescriptor;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.OutputStreamWriter;
import java.io.Writer;
import java.nio.charset.StandardCharsets;
import java.util.concurrent.Callable;
import picocli.CommandLine.Command;
import picocli.CommandLine.Option;
import picocli.CommandLine.Parameters;

/** {@code lumictl dump}: the frames of a show file as text or JSON lines. */
@Command(name = "dump", mixinStandardHelpOptions = true,
        description = {"Writes the frames of a show file to standard output, one line per frame:",
            "  frame N start S time T channels C: v1 v2 ...",
            "or with --json one JSON object per line:",
            "  {\"frame\":N,\"startCode\":S,\"timeCode\":T,\"channels\":[v1,v2,...]}",
            "Frames are numbered from 1; every frame has the header's channel count."})
final class DumpCommand implements Callable<Integer> {
    @Parameters(index = "0", paramLabel = "FILE.dmx", description = "The show file.")
    String file;

    @Option(names = "--json", description = "One JSON object per frame.")
    boolean json;

    @Option(names = "--first", paramLabel = "N", defaultValue = "1", description = "First frame to write (from 1).")
    long first = 1;

    @Option(names = "--count", paramLabel = "N", description = "Write at most N frames.")
    Long count;

    /** Exit status when the reader of standard output went away (as after SIGPIPE). */
    private static final int BROKEN_PIPE = 141;

    @Override
    public Integer call() {
        if (first < 1) throw new Failure("--first must be 1 or more");
        if (count != null && count < 0) throw new Failure("--count must be 0 or more");
        long limit = count == null ? Long.MAX_VALUE : count;
        Writer out = new BufferedWriter(new OutputStreamWriter(new FileOutputStream(FileDescriptor.out),
                StandardCharsets.UTF_8), 1 << 16);
        StringBuilder line = new StringBuilder();
        try (ShowFile in = ShowFile.open(file)) {
            DMXFrame frame = in.newFrame();
            long written = 0;
            while (written < limit && in.read(frame)) {
                long number = in.framesRead();
                if (number < first) continue;
                line.setLength(0);
                if (json) {
                    json(line, number, frame);
                } else {
                    text(line, number, frame);
                }
                out.append(line);
                ++written;
                if ((written & 255) == 0) Cancellation.check();
            }
            out.flush();
        } catch (IOException e) {
            if (String.valueOf(e.getMessage()).contains("Broken pipe")) return BROKEN_PIPE;
            throw new Failure("writing the output failed: " + e.getMessage());
        } catch (Failure e) {
            // The frames before a damaged one are written before the error is reported.
            try {
                out.flush();
            } catch (IOException ignored) {
                // The failure to read is the one to report.
            }
            throw e;
        }
        return 0;
    }

    private static void text(StringBuilder b, long number, DMXFrame f) {
        b.append("frame ").append(number).append(" start ").append(f.startCode).append(" time ").append(f.timeCode)
                .append(" channels ").append(f.dmxData.length).append(':');
        for (int v : f.dmxData) b.append(' ').append(v);
        b.append('\n');
    }

    private static void json(StringBuilder b, long number, DMXFrame f) {
        b.append("{\"frame\":").append(number).append(",\"startCode\":").append(f.startCode)
                .append(",\"timeCode\":").append(f.timeCode).append(",\"channels\":[");
        for (int i = 0; i < f.dmxData.length; ++i) {
            if (i > 0) b.append(',');
            b.append(f.dmxData[i]);
        }
        b.append("]}\n");
    }
}
