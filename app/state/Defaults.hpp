#pragma once

#include <QSettings>
#include <filesystem>
#include <optional>
#include <string>

namespace kestrava::app {

// The application's own settings, kept in an INI file. A missing key and a value of another kind both read
// as none.
class Defaults {
public:
    explicit Defaults(const std::filesystem::path& file);

    // "Kestrava.conf" in the application's folder of the user's configuration folder.
    static std::filesystem::path standardFile();

    std::optional<bool> boolean(const std::string& key) const;
    void setBoolean(const std::string& key, bool value);
    std::optional<std::string> text(const std::string& key) const;
    void setText(const std::string& key, const std::string& value);
    void remove(const std::string& key);

private:
    mutable QSettings settings_;
};

} // namespace kestrava::app
