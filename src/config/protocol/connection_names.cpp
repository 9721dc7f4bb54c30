#include "config/protocol/connection_names.h"

#include "common/file_names.h"
#include "config/model/backup_store.h"
#include "config/model/write_journal.h"

namespace kavrel::config {

std::string journalIdentity(const link::Connection& connection) {
    return connectionIdentity(!connection.isSerial(), connection.comNumber(), connection.device(), connection.address(),
                              static_cast<int>(connection.tcpPort()));
}

std::string backupWord(const link::Connection& connection) {
    if (connection.isSerial() && connection.namedByPath())
        return pathToUtf8(pathFromUtf8(connection.device()).filename());
    return connectionTag(!connection.isSerial(), connection.comNumber(), connection.address(),
                         static_cast<int>(connection.tcpPort()));
}

} // namespace kavrel::config
