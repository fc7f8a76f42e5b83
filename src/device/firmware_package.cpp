#include "device/firmware_package.h"

#include <algorithm>

namespace device {

ziparchive::TZipStream* LoadZIP(ziparchive::TZipReader& reader, const std::string& packagePath,
                                const std::string& extension) {
    try {
        reader.SetZipFileName(packagePath);
        if (reader.Count() <= 0) {
            reader.MessageSink().Show("LoadZIP error");
            return nullptr;
        }
        const std::string& first = reader.Entries()[0].fileName;
        const std::string member = first.substr(0, first.size() >= 3 ? first.size() - 3 : 0) + extension;
        ziparchive::TZipStream* stream = reader.ExtractToMemory(member);
        if (stream != nullptr) stream->SetPosition(0);
        return stream;
    } catch (...) {
        return nullptr;
    }
}

std::string ReadCheckedMember(ziparchive::TZipReader& reader, const std::string& packagePath,
                              const std::string& extension, uint32_t expectedSum) {
    try {
        ziparchive::TZipStream* stream = LoadZIP(reader, packagePath, extension);
        if (stream == nullptr) return {};
        const std::string_view all = stream->View();
        std::string bytes(all.substr(static_cast<size_t>(std::min<uint64_t>(stream->Position(), all.size()))));
        uint32_t sum = 0;
        for (const char c : bytes) sum += static_cast<uint8_t>(c);
        if (bytes.empty() || sum != expectedSum) return {};
        return bytes;
    } catch (...) {
        return {};
    }
}

std::string ReadS19Head(ziparchive::TZipReader& reader, const std::string& packagePath,
                        const std::string& extension) {
    try {
        ziparchive::TZipStream* stream = LoadZIP(reader, packagePath, extension);
        if (stream == nullptr) return {};
        std::string head;
        uint8_t byte = 0;
        while (stream->Position() < 3 && stream->ReadByte(byte)) head.push_back(static_cast<char>(byte));
        return head == "S00" ? head : std::string();
    } catch (...) {
        return {};
    }
}

std::optional<uint32_t> PackageValueAt(const std::string& vif, size_t offset) {
    if (offset > vif.size() || vif.size() - offset < 4) return std::nullopt;
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(vif[offset + i]);
    return value;
}

std::optional<PackageIndex> ReadPackageIndex(ziparchive::TZipReader& reader,
                                             const std::string& packagePath) {
    ziparchive::TZipStream* stream = LoadZIP(reader, packagePath, "vif");
    if (stream == nullptr) return std::nullopt;
    const std::string vif(stream->View());
    const auto vgfSum = PackageValueAt(vif, 0), vtfSum = PackageValueAt(vif, 4),
               s19Sum = PackageValueAt(vif, 8), vgfAddress = PackageValueAt(vif, 12);
    if (!vgfSum || !vtfSum || !s19Sum || !vgfAddress) return std::nullopt;
    return PackageIndex{*vgfSum, *vtfSum, *s19Sum, *vgfAddress};
}

}  // namespace device
