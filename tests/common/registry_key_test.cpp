#include <gtest/gtest.h>

#include "common/registry_key.h"
#include "link/connection_settings.h"

using namespace kavrel;

namespace {
constexpr const char* kKey = "Software\\Ostrevan\\Kavrel";
}

TEST(RegistryKey, ReadAndWriteNeedAnOpenKey) {
    MemoryStore store;
    RegistryKey key(store);
    std::uint32_t number = 7;
    std::string text = "old";
    EXPECT_EQ(key.open(kKey), RegistryResult::NotFound);
    EXPECT_EQ(key.readNumber("Port_COM", number), RegistryResult::NotOpen);
    EXPECT_EQ(number, 7u);
    EXPECT_EQ(key.readString("Adres_IP", text, 256), RegistryResult::NotOpen);
    EXPECT_EQ(text, "");  // the destination is emptied first
    EXPECT_EQ(key.writeNumber("Port_COM", 3), RegistryResult::NotOpen);
    EXPECT_FALSE(store.read(kKey, "Port_COM"));
    EXPECT_EQ(key.lastError(), RegistryResult::NotOpen);
}

TEST(RegistryKey, CreateOpenWriteRead) {
    MemoryStore store;
    RegistryKey key(store);
    ASSERT_EQ(key.create(kKey), RegistryResult::Ok);
    EXPECT_FALSE(key.isOpen());  // create closes the key again
    ASSERT_EQ(key.open(kKey), RegistryResult::Ok);
    EXPECT_EQ(key.writeNumber("Port_TCP", 2323), RegistryResult::Ok);
    EXPECT_EQ(key.writeString("Adres_IP", "10.0.0.7"), RegistryResult::Ok);
    std::uint32_t port = 0;
    std::string address;
    EXPECT_EQ(key.readNumber("Port_TCP", port), RegistryResult::Ok);
    EXPECT_EQ(port, 2323u);
    EXPECT_EQ(key.readString("Adres_IP", address, 256), RegistryResult::Ok);
    EXPECT_EQ(address, "10.0.0.7");
    EXPECT_EQ(key.readString("Adres_IP", address, 5), RegistryResult::Ok);  // 4 characters and the terminator
    EXPECT_EQ(address, "10.0");
    EXPECT_EQ(key.readNumber("Adres_IP", port), RegistryResult::WrongType);
    EXPECT_EQ(key.readNumber("Brak", port), RegistryResult::NotFound);
}

TEST(RegistryKey, NumberKeptAsDecimalTextReadsAsNumber) {
    MemoryStore store;
    store.createKey(kKey);
    store.write(kKey, "Port_COM", std::string("4"));
    store.write(kKey, "Zly", std::string("4x"));
    RegistryKey key(store);
    ASSERT_EQ(key.open(kKey), RegistryResult::Ok);
    std::uint32_t value = 0;
    EXPECT_EQ(key.readNumber("Port_COM", value), RegistryResult::Ok);
    EXPECT_EQ(value, 4u);
    EXPECT_EQ(key.readNumber("Zly", value), RegistryResult::WrongType);
}

TEST(ConnectionSettings, FirstStartCreatesTheKeyWithDefaults) {
    MemoryStore store;
    const auto settings = link::loadConnectionSettings(store);
    EXPECT_TRUE(store.keyExists(kKey));
    EXPECT_EQ(settings.comPort, 1u);
    EXPECT_FALSE(settings.useTcp);
    EXPECT_EQ(settings.moduleAddress, "192.168.2.1");
    EXPECT_EQ(settings.tcpPort, 23u);
}

TEST(ConnectionSettings, SavedValuesComeBackAndAFailedSaveIsReported) {
    MemoryStore store;
    link::loadConnectionSettings(store);
    link::ConnectionSettings changed{4, true, "10.1.2.3", 2323};
    ASSERT_EQ(link::saveConnectionSettings(store, changed), FileResult::Ok);
    const auto loaded = link::loadConnectionSettings(store);
    EXPECT_EQ(loaded.comPort, 4u);
    EXPECT_TRUE(loaded.useTcp);
    EXPECT_EQ(loaded.moduleAddress, "10.1.2.3");
    EXPECT_EQ(loaded.tcpPort, 2323u);
    EXPECT_EQ(std::get<std::uint32_t>(*store.read(kKey, "Transmisja_TCP")), 1u);

    store.setReadOnly(true);
    EXPECT_EQ(link::saveConnectionSettings(store, {}), FileResult::WriteFailed);
    MemoryStore empty;
    EXPECT_EQ(link::saveConnectionSettings(empty, changed), FileResult::OpenFailed);  // no key: nothing saved
    EXPECT_FALSE(empty.keyExists(kKey));
}
