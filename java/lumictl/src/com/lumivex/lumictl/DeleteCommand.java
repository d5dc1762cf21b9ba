package com.lumivex.lumictl;

import com.lumivex.controller.DeleteListener;
import com.lumivex.controller.DevException;
import java.util.concurrent.Callable;
import picocli.CommandLine.Command;
import picocli.CommandLine.Mixin;
import picocli.CommandLine.Parameters;

/** {@code lumictl delete}: removes a stored show, with the controller's progress. */
@Command(name = "delete", mixinStandardHelpOptions = true,
        description = "Deletes a show stored on a controller, showing the progress the controller reports.")
final class DeleteCommand implements Callable<Integer> {
    @Parameters(index = "0", paramLabel = "SHOW", description = "The show's name on the controller.")
    String show;

    @Mixin
    Controllers.Choice choice;

    @Mixin
    Lumictl.ProgressOption progress;

    /**
     * Draws the progress the controller library reports during the delete.
     * Called by the library on this thread while deleteFile runs, so it must
     * not throw: nothing checks for a Java exception after the call.
     */
    static final class Listener implements DeleteListener {
        private final Progress.Mode mode;
        private Progress bar;
        int calls;
        int lastDone;
        int lastTotal;

        Listener(Progress.Mode mode) {
            this.mode = mode;
        }

        @Override
        public void deleteCallback(int done, int total) {
            ++calls;
            lastDone = done;
            lastTotal = total;
            if (bar == null) bar = new Progress(System.err, mode, "deleting", "blocks", total);
            bar.update(done);
        }

        void finish(boolean ok) {
            if (bar == null) return;
            if (ok) {
                bar.finish();
            } else {
                bar.abandon();
            }
        }
    }

    @Override
    public Integer call() {
        try (Controllers.Open c = Controllers.open(choice, Controllers.Need.STORE)) {
            Listener listener = new Listener(progress.mode);
            try {
                c.device.deleteFile(show, listener);
            } catch (DevException e) {
                listener.finish(false);
                throw Failure.of("deleting " + Formats.quote(show) + " on " + c.label() + " failed", e);
            }
            listener.finish(true);
            long free;
            try {
                free = c.device.getFreeSpace();
            } catch (DevException e) {
                throw Failure.of("reading the free space of " + c.label() + " failed", e);
            }
            System.out.println(Formats.f("deleted %s from %s; %d bytes free", Formats.quote(show), c.label(), free));
        }
        return 0;
    }
}
