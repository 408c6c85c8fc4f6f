#include "app/document_source.h"

#include <string>

#include "app/url_resolution.h"
#include "engine/ui_archive.h"
#include "startup/startup_icon.h"

namespace app {

namespace {

HINSTANCE instanceHandle = nullptr;

engine::UiArchiveHandle& ArchiveHandle() {
    static engine::UiArchiveHandle archive;
    return archive;
}

// The resource's bytes; empty when any step of the look-up fails.
std::span<const std::uint8_t> FindProgramResource(const UrlSource& source) {
    const wchar_t* type = source.type ? source.type->c_str() : MAKEINTRESOURCEW(23);  // RT_HTML
    const HRSRC found = FindResourceW(instanceHandle, source.name.c_str(), type);
    if (!found) return {};
    const HGLOBAL loaded = LoadResource(instanceHandle, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(instanceHandle, found);
    if (!bytes || size == 0) return {};
    return {static_cast<const std::uint8_t*>(bytes), size};
}

}  // namespace

void KeepInstanceHandle(HINSTANCE instance) { instanceHandle = instance; }

bool OpenUiArchive(std::span<const std::uint8_t> block) {
    engine::UiArchiveHandle& archive = ArchiveHandle();
    engine::CloseArchive(archive);
    archive = engine::OpenArchive(block);
    return static_cast<bool>(archive);
}

engine::LoadResult LoadDocument(engine::DataLoadRequest& request) {
    const UrlSource source = ResolveUrl(request.Url());
    switch (source.kind) {
        case UrlSource::Kind::Browser: return engine::LoadResult::Loaded;
        case UrlSource::Kind::Discarded: return engine::LoadResult::Discarded;
        case UrlSource::Kind::Resource: {
            const std::span<const std::uint8_t> bytes = FindProgramResource(source);
            if (bytes.empty()) return engine::LoadResult::Discarded;
            request.DataReady(bytes);
            return engine::LoadResult::Loaded;
        }
        case UrlSource::Kind::FileIcon: {
            const std::optional<std::vector<std::uint8_t>> png = startup::StartupIconPng(source.name);
            if (!png) return engine::LoadResult::Discarded;
            request.DataReady(*png);
            return engine::LoadResult::Loaded;
        }
        case UrlSource::Kind::Archive: {
            const engine::UiArchiveHandle& archive = ArchiveHandle();
            if (!archive) return engine::LoadResult::Discarded;
            const std::vector<std::uint8_t> bytes =
                engine::GetArchiveItem(*archive, std::u16string(source.name.begin(), source.name.end()));
            if (bytes.empty()) return engine::LoadResult::Discarded;
            request.DataReady(bytes);
            return engine::LoadResult::Loaded;
        }
    }
    return engine::LoadResult::Discarded;
}

}  // namespace app
