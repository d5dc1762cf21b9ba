package com.lumivex.lumictl;

import com.lumivex.controller.DevException;
import com.lumivex.controller.Lumidrive;
import com.lumivex.controller.Showtape;
import java.io.PrintWriter;
import picocli.CommandLine;
import picocli.CommandLine.Command;
import picocli.CommandLine.IVersionProvider;
import picocli.CommandLine.Option;

/**
 * {@code lumictl}: the command-line tool over the controller and show-file
 * bridges. Results go to standard output; progress bars, notes and error
 * messages to standard error. Exit status: 0 on success, 1 when the command
 * failed (the message names the library's code), 2 for a command line that
 * cannot be understood, 130 after Ctrl+C.
 */
@Command(name = "lumictl",
        mixinStandardHelpOptions = true,
        versionProvider = Lumictl.Version.class,
        description = "Lists, saves, checks, uploads and converts the shows of Lumivex controllers.",
        subcommands = {
            DevicesCommand.class,
            ShowsCommand.class,
            SaveCommand.class,
            UploadCommand.class,
            DeleteCommand.class,
            PlaybackCommands.Play.class,
            PlaybackCommands.Stop.class,
            LiveCommand.class,
            InfoCommand.class,
            DumpCommand.class,
            TriggersCommand.class,
            OlaCommands.Export.class,
            OlaCommands.Import.class,
        },
        footer = {"", "Exit status: 0 success, 1 failure (the message names the library's code), "
                + "2 wrong command line, 130 interrupted."})
public final class Lumictl implements Runnable {
    private Lumictl() {
    }

    @Override
    public void run() {
        throw new CommandLine.ParameterException(new CommandLine(this), "a command is required");
    }

    /**
     * Runs lumictl and exits with its status.
     *
     * @param args the command line
     */
    public static void main(String[] args) {
        Cancellation.install();
        int status;
        try {
            status = execute(args);
        } catch (LinkageError e) {
            // A native library that is missing or does not fit the classes.
            System.err.println("lumictl: cannot load the native libraries: " + e);
            status = Failure.FAILED;
        } finally {
            Cancellation.finished();
        }
        System.out.flush();
        System.exit(status);
    }

    /** Runs one command line and returns the exit status. */
    static int execute(String... args) {
        CommandLine cl = new CommandLine(new Lumictl());
        cl.setCaseInsensitiveEnumValuesAllowed(true);
        cl.setExecutionExceptionHandler(Lumictl::handle);
        return cl.execute(args);
    }

    private static int handle(Exception e, CommandLine cl, CommandLine.ParseResult parsed) {
        PrintWriter err = cl.getErr();
        // "lumictl: triggers set: ..." for a subcommand, "lumictl: ..." for the tool itself.
        String command = cl.getCommandSpec().qualifiedName(" ").replaceFirst("^lumictl ?", "");
        String prefix = "lumictl: " + (command.isEmpty() ? "" : command + ": ");
        if (e instanceof Failure) {
            err.println(prefix + e.getMessage());
            err.flush();
            return ((Failure) e).exitStatus();
        }
        if (e instanceof DevException) {
            err.println(prefix + Codes.describe((DevException) e));
            err.flush();
            return Failure.FAILED;
        }
        if (e instanceof java.io.IOException || e instanceof java.io.UncheckedIOException) {
            err.println(prefix + e.getMessage());
            err.flush();
            return Failure.FAILED;
        }
        err.println(prefix + "internal error:");
        e.printStackTrace(err);
        err.flush();
        return Failure.FAILED;
    }

    /** The {@code --progress} option of the commands that move many frames. */
    static final class ProgressOption {
        @Option(names = "--progress", paramLabel = "WHEN", defaultValue = "auto",
                description = "Progress bar on standard error: auto (on a terminal), always, never. "
                        + "Default: ${DEFAULT-VALUE}.")
        Progress.Mode mode = Progress.Mode.AUTO;
    }

    /** lumictl's version and those of the two libraries. */
    static final class Version implements IVersionProvider {
        @Override
        public String[] getVersion() {
            return new String[] {
                "lumictl 1.0.0",
                Formats.f("controller library %d.%d.%d", Lumidrive.getLibraryMajorRevision(),
                        Lumidrive.getLibraryMinorRevision(), Lumidrive.getLibraryBuildRevision()),
                Formats.f("show-file library %d.%d.%d", Showtape.getLibraryMajorRevision(),
                        Showtape.getLibraryMinorRevision(), Showtape.getLibraryBuildRevision()),
            };
        }
    }
}
