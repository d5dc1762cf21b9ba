package com.lumivex.lumictl;

import com.lumivex.controller.DevException;
import com.lumivex.controller.DevFileEntry;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.Callable;
import picocli.CommandLine.Command;
import picocli.CommandLine.Mixin;
import picocli.CommandLine.Parameters;

/** {@code lumictl shows}: the shows stored on a controller. */
@Command(name = "shows", mixinStandardHelpOptions = true,
        description = "Lists the shows stored on a controller with their size in bytes and their "
                + "modification time (UTC), then the free space.")
final class ShowsCommand implements Callable<Integer> {
    @Mixin
    Controllers.Choice choice;

    @Parameters(index = "0", arity = "0..1", paramLabel = "FOLDER", defaultValue = ".",
            description = "The folder of the store to list. Default: the top (\".\").")
    String folder = ".";

    @Override
    public Integer call() {
        try (Controllers.Open c = Controllers.open(choice, Controllers.Need.STORE)) {
            List<String[]> rows = new ArrayList<>();
            rows.add(new String[] {"NAME", "SIZE", "MODIFIED"});
            int shows = 0;
            long bytes = 0;
            try {
                DevFileEntry e = new DevFileEntry();
                int r = c.device.getFirstFile(folder, e);
                while (r == 0) {
                    if (e.isDirectory) {
                        rows.add(new String[] {e.fileName + "/", "-", Formats.unixTime(e.lastModified)});
                    } else {
                        rows.add(new String[] {e.fileName, Long.toString(e.fileSize), Formats.unixTime(e.lastModified)});
                        ++shows;
                        bytes += e.fileSize;
                    }
                    r = c.device.getNextFile(e);
                }
                if (r != DevException.DEV_NO_MORE_DATA) {
                    throw new Failure("listing " + c.label() + " failed: " + Codes.describe(r));
                }
            } catch (DevException e) {
                throw Failure.of("listing " + c.label() + " failed", e);
            }
            long free;
            try {
                free = c.device.getFreeSpace();
            } catch (DevException e) {
                throw Failure.of("reading the free space of " + c.label() + " failed", e);
            }
            System.out.println("# " + c.label() + (".".equals(folder) ? "" : ", folder " + Formats.quote(folder)));
            if (rows.size() > 1) DevicesCommand.printTable(rows);
            System.out.println(Formats.f("# %d show%s, %d bytes; %d bytes free", shows, shows == 1 ? "" : "s",
                    bytes, free));
        }
        return 0;
    }
}
