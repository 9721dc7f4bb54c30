// A settings store over another that keeps its writes to itself until commit(): a dialog
// lets its parts change settings freely, and only "Wprowadź" makes the changes real
// ("Anuluj" drops them with the dialog). Reads see the staged writes first.
#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>

#include "common/settings_store.h"

namespace kavrel {

class StagedStore final : public SettingsStore {
public:
    explicit StagedStore(SettingsStore& target) : target_(target) {}

    bool keyExists(std::string_view keyPath) const override {
        return createdKeys_.contains(std::string(keyPath)) || target_.keyExists(keyPath);
    }
    bool createKey(std::string_view keyPath) override {
        createdKeys_.insert(std::string(keyPath));
        return true;
    }
    std::optional<StoreValue> read(std::string_view keyPath, std::string_view name) const override {
        if (const auto staged = writes_.find({std::string(keyPath), std::string(name)}); staged != writes_.end())
            return staged->second;
        return target_.read(keyPath, name);
    }
    bool write(std::string_view keyPath, std::string_view name, const StoreValue& value) override {
        writes_[{std::string(keyPath), std::string(name)}] = value;
        return true;
    }

    bool hasChanges() const { return !writes_.empty() || !createdKeys_.empty(); }
    // Writes everything staged into the target, in order of key and name; false when the
    // target refused any of it.
    bool commit() {
        bool ok = true;
        for (const std::string& key : createdKeys_) ok &= target_.createKey(key);
        for (const auto& [where, value] : writes_) ok &= target_.write(where.first, where.second, value);
        createdKeys_.clear();
        writes_.clear();
        return ok;
    }

private:
    SettingsStore& target_;
    std::set<std::string> createdKeys_;
    std::map<std::pair<std::string, std::string>, StoreValue> writes_;
};

} // namespace kavrel
