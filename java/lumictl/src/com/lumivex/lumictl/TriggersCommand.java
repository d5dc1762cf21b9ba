package com.lumivex.lumictl;

import static com.lumivex.lumictl.Formats.f;

import com.lumivex.controller.DevException;
import com.lumivex.controller.DevInfo;
import com.lumivex.controller.DevTrigger;
import com.lumivex.controller.DevTriggerAction;
import com.lumivex.controller.DevTriggerHeader;
import java.nio.file.Paths;
import java.util.concurrent.Callable;
import picocli.CommandLine.Command;
import picocli.CommandLine.Mixin;
import picocli.CommandLine.Parameters;

/** {@code lumictl triggers}: a controller's trigger table, listed or written. */
@Command(name = "triggers", mixinStandardHelpOptions = true,
        subcommands = TriggersCommand.Set.class,
        description = {"Lists a controller's trigger header and trigger table in the text form that "
                + "'lumictl triggers set' reads:",
            "  header = b1 b2 b3 b4",
            "  trigger = triggerType value actionType actionValue \"show name\""})
final class TriggersCommand implements Callable<Integer> {
    @Mixin
    Controllers.Choice choice;

    @Override
    public Integer call() {
        try (Controllers.Open c = Controllers.open(choice, Controllers.Need.STORE)) {
            DevInfo info = c.info();
            StringBuilder out = new StringBuilder();
            out.append("# trigger table of ").append(c.label()).append('\n');
            if (info.hasTriggerHeader) {
                DevTriggerHeader h = new DevTriggerHeader();
                try {
                    c.device.getTriggerHeader(h);
                } catch (DevException e) {
                    throw Failure.of("reading the trigger header of " + c.label() + " failed", e);
                }
                out.append(TriggerText.headerLine(h)).append('\n');
            } else {
                out.append("# this controller has no trigger header\n");
            }
            int count = 0;
            try {
                DevTrigger t = new DevTrigger();
                DevTriggerAction a = new DevTriggerAction();
                for (int r = c.device.getFirstTrigger(t, a); r == 0; r = c.device.getNextTrigger(t, a)) {
                    out.append(TriggerText.triggerLine(t, a)).append('\n');
                    ++count;
                }
            } catch (DevException e) {
                throw Failure.of("reading the trigger table of " + c.label() + " failed", e);
            }
            out.append(f("# %d of at most %d triggers%n", count, info.numberPlaybackTriggers));
            System.out.print(out);
        }
        return 0;
    }

    /** {@code lumictl triggers set FILE}. */
    @Command(name = "set", mixinStandardHelpOptions = true,
            description = {"Replaces a controller's trigger table with the triggers of FILE and, when FILE has a "
                    + "header line, sets the trigger header. FILE is read and checked whole first; when writing a "
                    + "trigger fails, the new table is abandoned and the old one stays.",
                "Format (UTF-8; blank lines and lines starting with # are ignored):",
                "  header = b1 b2 b3 b4                  (0..255 each; optional)",
                "  trigger = triggerType value actionType actionValue \"show name\"",
                "The four trigger numbers are 32-bit signed integers (decimal or 0x hex); the name is in "
                    + "double quotes with \\\" and \\\\ escaped."})
    static final class Set implements Callable<Integer> {
        @Parameters(index = "0", paramLabel = "FILE", description = "The trigger table in text form.")
        String file;

        @Mixin
        Controllers.Choice choice;

        @Override
        public Integer call() {
            TriggerText.Table table = TriggerText.read(Paths.get(file));
            try (Controllers.Open c = Controllers.open(choice, Controllers.Need.STORE)) {
                DevInfo info = c.info();
                if (table.triggers.size() > info.numberPlaybackTriggers) {
                    throw new Failure(f("%s holds %d triggers; %s takes at most %d; nothing was changed", file,
                            table.triggers.size(), c.label(), info.numberPlaybackTriggers));
                }
                if (table.header != null && !info.hasTriggerHeader) {
                    throw new Failure(f("%s has a header line, but %s has no trigger header; nothing was changed",
                            file, c.label()));
                }
                writeTable(c, table);
                if (table.header != null) {
                    try {
                        c.device.setTriggerHeader(table.header);
                    } catch (DevException e) {
                        throw Failure.of("the trigger table was written, but setting the header of " + c.label()
                                + " failed", e);
                    }
                }
                System.out.println(f("wrote %d trigger%s%s to %s", table.triggers.size(),
                        table.triggers.size() == 1 ? "" : "s", table.header != null ? " and the header" : "",
                        c.label()));
            }
            return 0;
        }

        /**
         * Writes the table. When a trigger is refused the table is not closed:
         * closing the controller then drops it, so the old table stays instead
         * of a part of the new one.
         */
        private static void writeTable(Controllers.Open c, TriggerText.Table table) {
            try {
                c.device.createTriggers();
            } catch (DevException e) {
                throw Failure.of("starting a new trigger table on " + c.label() + " failed; nothing was changed", e);
            }
            for (int i = 0; i < table.triggers.size(); ++i) {
                TriggerText.Entry e = table.triggers.get(i);
                try {
                    c.device.setTrigger(e.trigger, e.action);
                } catch (DevException x) {
                    throw Failure.of(f("writing trigger %d (%s) to %s failed; the table was abandoned", i + 1,
                            TriggerText.triggerLine(e.trigger, e.action), c.label()), x);
                }
            }
            try {
                c.device.closeTriggers();
            } catch (DevException e) {
                throw Failure.of("completing the trigger table on " + c.label() + " failed", e);
            }
        }
    }
}
