package com.lumivex.lumictl;

import com.lumivex.controller.DevException;

/**
 * A failure of a command, with the message the user sees and the exit status.
 * Raised anywhere in a command; the main class prints the message and exits.
 */
final class Failure extends RuntimeException {
    private static final long serialVersionUID = 1L;

    /** Exit status of a command that failed. */
    static final int FAILED = 1;
    /** Exit status of a command line that could not be understood (picocli's own). */
    static final int USAGE = 2;
    /** Exit status after Ctrl+C (128 + SIGINT). */
    static final int INTERRUPTED = 130;

    private final int exitStatus;

    Failure(String message) {
        this(message, FAILED, null);
    }

    Failure(String message, int exitStatus, Throwable cause) {
        super(message, cause);
        this.exitStatus = exitStatus;
    }

    int exitStatus() {
        return exitStatus;
    }

    /** "what: code 9 (DevIOError)", keeping the library's exception as the cause. */
    static Failure of(String what, DevException e) {
        return new Failure(what + ": " + Codes.describe(e), FAILED, e);
    }

    /** The user pressed Ctrl+C while the command ran. */
    static Failure interrupted() {
        return new Failure("interrupted", INTERRUPTED, null);
    }
}
