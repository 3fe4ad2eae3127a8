#include "wordforms/speller.h"

#include <hunspell/hunspell.h>
#include <iconv.h>

#include <cerrno>
#include <filesystem>
#include <optional>

namespace {

// One iconv conversion, strict: nothing when some character has no place in the target.
class TConverter {
public:
    TConverter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~TConverter() {
        if (valid())
            iconv_close(cd_);
    }
    TConverter(const TConverter&) = delete;
    TConverter& operator=(const TConverter&) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    std::optional<std::string> convert(std::string_view text) const {
        if (!valid())
            return std::nullopt;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string out(text.size() * 4 + 4, '\0');
        char* in = const_cast<char*>(text.data());
        size_t inLeft = text.size();
        char* to = out.data();
        size_t outLeft = out.size();
        if (iconv(cd_, &in, &inLeft, &to, &outLeft) == static_cast<size_t>(-1))
            return std::nullopt;
        out.resize(out.size() - outLeft);
        return out;
    }

private:
    iconv_t cd_;
};

}  // namespace

struct TSpeller::TImpl {
    Hunhandle* handle = nullptr;
    std::unique_ptr<TConverter> toDic;
    std::unique_ptr<TConverter> fromDic;

    ~TImpl() {
        if (handle)
            Hunspell_destroy(handle);
    }

    // Runs one list-answering Hunspell call and converts its answers back.
    template <typename Call>
    std::vector<std::string> ask(std::string_view cp1251, Call call) const {
        std::vector<std::string> out;
        if (!handle)
            return out;
        const std::optional<std::string> word = toDic->convert(cp1251);
        if (!word || word->empty())
            return out;
        char** list = nullptr;
        const int n = call(handle, &list, word->c_str());
        for (int i = 0; i < n; ++i) {
            if (std::optional<std::string> back = fromDic->convert(list[i]))
                out.push_back(std::move(*back));
        }
        if (list)
            Hunspell_free_list(handle, &list, n);
        return out;
    }
};

TSpeller::TSpeller(const std::string& folder, const std::string& name)
    : impl_(std::make_unique<TImpl>()) {
    const std::string aff = folder + "/" + name + ".aff";
    const std::string dic = folder + "/" + name + ".dic";
    std::error_code ec;
    // Hunspell reports a missing file on standard error; asking first keeps the tool quiet.
    if (!std::filesystem::is_regular_file(aff, ec) || !std::filesystem::is_regular_file(dic, ec))
        return;
    Hunhandle* handle = Hunspell_create(aff.c_str(), dic.c_str());
    if (!handle)
        return;
    const char* encoding = Hunspell_get_dic_encoding(handle);
    auto toDic = std::make_unique<TConverter>(encoding ? encoding : "ISO8859-1", "CP1251");
    auto fromDic = std::make_unique<TConverter>("CP1251", encoding ? encoding : "ISO8859-1");
    if (!toDic->valid() || !fromDic->valid()) {
        Hunspell_destroy(handle);
        return;
    }
    impl_->handle = handle;
    impl_->toDic = std::move(toDic);
    impl_->fromDic = std::move(fromDic);
}

TSpeller::~TSpeller() = default;

bool TSpeller::valid() const {
    return impl_->handle != nullptr;
}

std::vector<std::string> TSpeller::stems(std::string_view cp1251) const {
    return impl_->ask(cp1251, Hunspell_stem);
}

std::vector<std::string> TSpeller::suggestions(std::string_view cp1251) const {
    return impl_->ask(cp1251, Hunspell_suggest);
}

bool TSpeller::accepts(std::string_view cp1251) const {
    if (!impl_->handle)
        return false;
    const std::optional<std::string> word = impl_->toDic->convert(cp1251);
    return word && !word->empty() && Hunspell_spell(impl_->handle, word->c_str()) != 0;
}
