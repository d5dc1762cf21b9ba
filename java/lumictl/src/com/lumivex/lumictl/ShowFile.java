package com.lumivex.lumictl;

import com.lumivex.controller.DMXFrame;
import com.lumivex.controller.DevException;
import com.lumivex.controller.Showtape;
import com.lumivex.controller.ShowtapeHeader;
import java.nio.charset.StandardCharsets;

/**
 * A show file ({@code *.dmx}) open for reading through the show-file bridge.
 *
 * <p>The bridge fills a frame's whole channel array and does not report how
 * many channels the frame itself has, so every frame is read
 * {@link #width()} channels wide: the header's {@code numberChannels}. A frame
 * with fewer channels reads back with zeros after its own.
 *
 * <p>Not thread safe.
 */
final class ShowFile implements AutoCloseable {
    /** Widest frame a show file holds. */
    static final int MAX_CHANNELS = 2048;

    private final String path;
    private final Showtape tape;
    private final String name;
    private final ShowtapeHeader header;
    private long framesRead;

    private ShowFile(String path, Showtape tape, String name, ShowtapeHeader header) {
        this.path = path;
        this.tape = tape;
        this.name = name;
        this.header = header;
    }

    /** Opens {@code path}; fails with the library's code, or when the header's channel count is out of range. */
    static ShowFile open(String path) {
        checkPath(path);
        Showtape tape = new Showtape();
        ShowtapeHeader header = new ShowtapeHeader();
        String name;
        try {
            name = tape.openShowtape(path, header);
        } catch (DevException e) {
            throw Failure.of("cannot open " + path, e);
        }
        ShowFile file = new ShowFile(path, tape, name, header);
        if (header.numberChannels < 0 || header.numberChannels > MAX_CHANNELS) {
            file.close();
            throw new Failure(path + ": the header's channel count " + header.numberChannels + " is outside 0.."
                    + MAX_CHANNELS);
        }
        return file;
    }

    /**
     * Refuses a path the show-file bridge would hand the library in another
     * form than Java's own file calls use: the bridge passes the path in the
     * virtual machine's modified UTF-8, which differs from UTF-8 for characters
     * outside the Basic Multilingual Plane, and Java's own file calls encode
     * names in the locale's character set.
     */
    static void checkPath(String path) {
        if (path.isEmpty()) throw new Failure("the file name is empty");
        boolean ascii = true;
        for (int i = 0; i < path.length(); ++i) {
            char c = path.charAt(i);
            if (Character.isSurrogate(c)) {
                throw new Failure(path + ": file names with characters outside the Basic Multilingual Plane "
                        + "cannot be passed to the show-file library");
            }
            if (c >= 0x80) ascii = false;
        }
        String encoding = System.getProperty("sun.jnu.encoding", "");
        if (!ascii && !StandardCharsets.UTF_8.name().equalsIgnoreCase(encoding)
                && !"UTF8".equalsIgnoreCase(encoding)) {
            throw new Failure(path + ": non-ASCII file names need a UTF-8 locale (this one uses " + encoding + ")");
        }
    }

    String path() {
        return path;
    }

    String name() {
        return name;
    }

    ShowtapeHeader header() {
        return header;
    }

    /** Channels of every frame as read: the header's {@code numberChannels}. */
    int width() {
        return header.numberChannels;
    }

    /** A frame object to read this show's frames into. */
    DMXFrame newFrame() {
        return new DMXFrame(width());
    }

    /** Frames read since the file was opened or rewound. */
    long framesRead() {
        return framesRead;
    }

    /**
     * Reads the next frame into {@code frame}.
     *
     * @return true with the next frame, false at the end of an intact show
     */
    boolean read(DMXFrame frame) {
        try {
            if (tape.readDMXFrame(frame) != 0) return false;
        } catch (DevException e) {
            throw Failure.of(path + ": reading frame " + (framesRead + 1) + " failed", e);
        }
        ++framesRead;
        return true;
    }

    void rewind() {
        try {
            tape.rewindShowtape();
        } catch (DevException e) {
            throw Failure.of(path + ": rewinding failed", e);
        }
        framesRead = 0;
    }

    @Override
    public void close() {
        if (!tape.isOpen()) return;
        try {
            tape.closeShowtape();
        } catch (DevException e) {
            throw Failure.of(path + ": closing failed", e);
        }
    }

    /**
     * A show file being written. The show appears under its path only when
     * {@link #commit()} succeeds; a writer abandoned without it leaves nothing
     * there (the show-file library removes its temporary file when the process
     * ends) and an earlier file of that name untouched. There is no way to
     * abandon a show earlier: the library has no such call.
     */
    static final class Writer {
        private final String path;
        private final Showtape tape = new Showtape();
        private long framesWritten;
        private boolean committed;

        private Writer(String path) {
            this.path = path;
        }

        /**
         * Creates {@code path} for the show {@code name}.
         *
         * @param replace whether an existing file at {@code path} may be replaced
         */
        static Writer create(String path, String name, ShowtapeHeader header, boolean replace) {
            checkPath(path);
            Writer w = new Writer(path);
            try {
                w.tape.createShowtape(path, name, header, 0, replace);
            } catch (DevException e) {
                if (e.getCode() == 15) {
                    throw Failure.of("cannot create " + path + " (it exists; --force replaces it)", e);
                }
                throw Failure.of("cannot create " + path, e);
            }
            return w;
        }

        void write(DMXFrame frame) {
            try {
                tape.writeDMXFrame(frame);
            } catch (DevException e) {
                throw Failure.of(path + ": writing frame " + (framesWritten + 1) + " failed", e);
            }
            ++framesWritten;
        }

        long framesWritten() {
            return framesWritten;
        }

        /** Completes the show and moves it into place. */
        void commit() {
            try {
                tape.closeShowtape();
            } catch (DevException e) {
                throw Failure.of(path + ": completing the file failed", e);
            }
            committed = true;
        }

        boolean committed() {
            return committed;
        }
    }
}
