#pragma once
// Opens paths handed to the window from outside: from its command line or a
// second start (kept until the password gate is passed and no run is in
// progress) and from a drop onto the target page. The list is filled as Add
// fills it, for the operation the paths call for.

#include <optional>
#include <string>
#include <vector>

#include "app/main_window_handlers.h"
#include "app/open_paths.h"
#include "app/target_rows.h"
#include "engine/runs/desktop.h"

namespace vellumar {

// Whether the person is past the password page.
bool passwordGatePassed(const WindowModel& model);

class PathOpener {
  public:
    PathOpener(MainWindowHandlers& form, Desktop& desktop) : form_(form), desktop_(desktop) {}

    // Keeps the request; a later one replaces it.
    void receive(const OpenRequest& request);
    bool hasPending() const { return pending_.has_value(); }
    // Opens the kept request once the gate is passed and no run is in
    // progress. True when it was opened.
    bool openWhenReady();
    // A drop onto the target page, for the operation chosen there. False
    // (nothing changes) unless that page is in front and no run is in progress.
    bool drop(const std::vector<std::string>& paths);

  private:
    void open(const OpenPlan& plan);
    void addFiles(const std::vector<std::string>& files);
    void prepareFolder(const OpenPlan& plan);
    void tellRefused(const OpenPlan& plan);

    MainWindowHandlers& form_;
    Desktop& desktop_;
    std::optional<OpenRequest> pending_;
};

}  // namespace vellumar
