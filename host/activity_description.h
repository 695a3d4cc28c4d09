#pragma once
// The messenger's activity description file "msgrp2p.xml": which activities
// are installed and, for each, the class id and file of its control.

#include <optional>
#include <string>
#include <vector>

namespace pelex::host {

struct Activity {
    std::string name;
    std::string class_id;
    std::string file;
    std::string version;
};

/// The activities in the text of an activity description. Sets `error` and
/// returns nothing when the text is not well-formed XML or has no <Activities>
/// root; activities without a class id are skipped.
std::optional<std::vector<Activity>> parseActivities(const std::string& xml, std::string& error);

/// The activity whose control is the file `file_name` (compared without case),
/// if the list has one.
std::optional<Activity> findActivityByFile(const std::vector<Activity>& activities, const std::string& file_name);

}  // namespace pelex::host
