#include "folders/folder_state.h"

#include <algorithm>
#include <vector>

#include "folders/folder_lists.h"

namespace vellumar {

bool FitsOnListLine(const std::string& path) {
    return path.find_first_of("\r\n") == std::string::npos;
}

bool IsRecordedFolder(const std::string& plainPath) {
    std::vector<std::string> records;
    return ReadFolderRecords(records) == IoError::ok &&
           std::find(records.begin(), records.end(), plainPath) != records.end();
}

}  // namespace vellumar
