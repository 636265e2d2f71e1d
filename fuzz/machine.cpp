// Machine descriptions: a machine.ini that loads gives a machine that holds
// every entry of it (identity, drives, environment, installer properties,
// products and facts); one that does not load is refused with an error
// naming it, and leaves no machine behind.
#include "fuzz_support.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string Trim(const std::string &s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace((unsigned char)s[b])) ++b;
    while (e > b && std::isspace((unsigned char)s[e - 1])) --e;
    return s.substr(b, e - b);
}

struct Entry {
    std::string section, key, value;
};

// The entries as the description lists them: sections without case,
// names and values trimmed, comments and blank lines skipped.
std::vector<Entry> Entries(const std::string &text) {
    std::vector<Entry> out;
    std::istringstream in(text);
    std::string line, section;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string t = Trim(line);
        if (t.empty() || t[0] == ';' || t[0] == '#') continue;
        if (t[0] == '[') {
            section = winsim::Lower(Trim(t.substr(1, t.size() - 2)));
            continue;
        }
        size_t eq = t.find('=');
        out.push_back(Entry{section, Trim(t.substr(0, eq)), Trim(t.substr(eq + 1))});
    }
    return out;
}

const std::string &Folder() {
    static const std::string dir = [] {
        const char *tmp = getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qlfuzz-image-XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (!mkdtemp(buf.data())) abort();
        static struct Cleanup {
            std::string dir;
            ~Cleanup() {
                std::error_code ec;
                fs::remove_all(dir, ec);
            }
        } cleanup{buf.data()};
        return std::string(buf.data());
    }();
    return dir;
}

void CheckLoaded(winsim::Machine &m, const std::vector<Entry> &entries) {
    QL_FUZZ_CHECK(!m.name.empty() && m.name.size() <= MAX_COMPUTERNAME_LENGTH && m.name == winsim::Upper(m.name),
                  "machine name \"%s\"", m.name.c_str());
    char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof name;
    QL_FUZZ_CHECK(GetComputerNameA(name, &size) && m.name == name, "GetComputerNameA gives \"%s\"", name);

    // The last entry of a name wins; environment names compare without case.
    std::map<std::string, std::string, winsim::LessNoCase> environment, facts, products;
    std::map<std::string, std::string> properties;
    std::map<char, Entry> drives;
    for (const Entry &e : entries) {
        if (e.section == "environment") environment[e.key] = e.value;
        else if (e.section == "properties") properties[e.key] = e.value;
        else if (e.section == "facts") facts[e.key] = e.value;
        else if (e.section == "products") products[e.key] = e.value;
        else if (e.section == "drives") drives[(char)std::toupper((unsigned char)e.key[0])] = e;
    }
    for (const auto &[k, v] : environment)
        QL_FUZZ_CHECK(m.environment.count(k) && m.environment[k] == v, "environment %s", k.c_str());
    for (const auto &[k, v] : properties)
        QL_FUZZ_CHECK(m.installer.properties.count(k) && m.installer.properties[k] == v, "property %s", k.c_str());
    for (const auto &[k, v] : facts) QL_FUZZ_CHECK(m.facts.count(k) && m.facts[k] == v, "fact %s", k.c_str());
    for (const auto &[k, v] : products)
        QL_FUZZ_CHECK(m.products.count(k) && m.products[k].state == std::stol(v), "product %s state %d for \"%s\"",
                      k.c_str(), m.products[k].state, v.c_str());

    // The version and service pack as written (the last entry of each).
    std::string version, sp;
    for (const Entry &e : entries) {
        if (e.section != "machine") continue;
        if (winsim::Lower(e.key) == "version") version = e.value;
        if (winsim::Lower(e.key) == "sp") sp = e.value;
    }
    if (!version.empty()) {
        size_t p1 = version.find('.'), p2 = version.find('.', p1 + 1);
        QL_FUZZ_CHECK(std::stoull(version.substr(0, p1)) == m.majorVersion &&
                          std::stoull(version.substr(p1 + 1, p2 - p1 - 1)) == m.minorVersion &&
                          std::stoull(version.substr(p2 + 1)) == m.buildNumber,
                      "version \"%s\" held as %u.%u.%u", version.c_str(), (unsigned)m.majorVersion,
                      (unsigned)m.minorVersion, (unsigned)m.buildNumber);
    }
    if (!sp.empty())
        QL_FUZZ_CHECK(std::stoull(sp) == m.servicePackMajor, "sp \"%s\" held as %u", sp.c_str(),
                      (unsigned)m.servicePackMajor);

    // Drive sizes: the megabytes given, in clusters, held at the largest count.
    for (const auto &[letter, e] : drives) {
        QL_FUZZ_CHECK(m.drives.count(letter), "drive %c", letter);
        const winsim::Drive &d = m.drives[letter];
        std::vector<std::string> parts;
        std::stringstream ss(e.value);
        std::string part;
        while (std::getline(ss, part, ',')) parts.push_back(Trim(part));
        const unsigned long long clusterBytes = (unsigned long long)d.sectorsPerCluster * d.bytesPerSector;
        auto clusters = [&](const std::string &mb) {
            unsigned __int128 c = (unsigned __int128)std::stoull(mb) * 1048576u / clusterBytes;
            return (DWORD)(c > 0xFFFFFFFFu ? 0xFFFFFFFFu : (unsigned long long)c);
        };
        if (parts.size() > 1)
            QL_FUZZ_CHECK(d.freeClusters == clusters(parts[1]), "drive %c: %u free clusters for \"%s\"", letter,
                          (unsigned)d.freeClusters, e.value.c_str());
        QL_FUZZ_CHECK(d.freeClusters <= d.totalClusters, "drive %c: more free than total", letter);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text = qlfuzz::Text(data, size);
    std::ofstream(Folder() + "/machine.ini", std::ios::binary | std::ios::trunc) << text;
    winsim::ResetWorld();
    winsim::Machine *m = nullptr;
    try {
        m = &winsim::LoadMachineImage(Folder());
    } catch (const winsim::ImageError &) {
        QL_FUZZ_CHECK(!winsim::HasLocalMachine(), "a description that did not load left a machine behind");
        return 0;
    } catch (const std::exception &e) {
        QL_FUZZ_CHECK(false, "a description was refused without naming itself: %s", e.what());
    }
    QL_FUZZ_CHECK(&winsim::LocalMachine() == m, "the loaded machine is the local one");
    CheckLoaded(*m, Entries(text));
    return 0;
}
