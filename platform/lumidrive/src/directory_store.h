// Show store kept as a folder of show files on disk, read and written through
// the show-file library. One file per show, named exactly as the show;
// sub-folders are listed as folders. Dot-names are hidden: they are the
// temporaries of uploads in progress.
#pragma once

#include <filesystem>

#include "show_store.h"

namespace lumidrive {

class DirectoryStore final : public ShowStore {
public:
    /// `root` is the store's folder; it is created when the controller is
    /// opened (and reads as empty while it is missing).
    explicit DirectoryStore(std::filesystem::path root);

    /// Makes the store ready when its controller is opened (while this
    /// process holds the controller): creates the store's folder if it is
    /// missing, and removes upload temporaries that an earlier run left behind
    /// when it ended in the middle of an upload.
    void prepare();

    DevReturn list(const StorePath& folder, std::vector<StoreEntry>& out) override;
    DevReturn usage(StoreUsage& out) override;
    DevReturn find(const StorePath& path, StoreEntry& out) override;
    DevReturn openShow(const StorePath& path, ShowtapeHeader& header,
                       std::unique_ptr<ShowReader>& out) override;
    DevReturn createShow(const StorePath& path, const std::u16string& showName,
                         const ShowtapeHeader& header, std::unique_ptr<ShowWriter>& out) override;
    DevReturn remove(const StorePath& path) override;

private:
    /// The on-disk path of a store path; checks that every folder on the way
    /// is a real folder (no symbolic link leads out of the store).
    DevReturn resolveFolder(const StorePath& folder, std::string& out) const;
    std::string root_;
};

}  // namespace lumidrive
