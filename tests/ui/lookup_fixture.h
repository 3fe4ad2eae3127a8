#pragma once

// A program folder for one window test: dictionaries written by the core, a settings store
// over its termovel.ini, and the main window built over both with a scripted answerer.
#include <QApplication>
#include <QTemporaryDir>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/reg_setup.h"
#include "dictionary/dictionary.h"
#include "support/fake_dialogs.h"
#include "ui/main_form.h"

class TLookupFolder {
public:
    TLookupFolder() : setup_(std::make_unique<TRegSetup>(file("termovel.ini"))) {}

    std::string path() const { return dir_.path().toStdString(); }
    std::string file(const std::string& name) const { return path() + "/" + name; }
    TRegSetup& setup() { return *setup_; }

    // Writes a dictionary file through the core. Terms and name are Windows-1251 bytes.
    void writeDic(const std::string& fileName, const std::vector<std::string>& terms,
                  const std::string& name = "") {
        TDictionary dictionary;
        dictionary.SetName(name);
        for (const std::string& term : terms)
            dictionary.AddTerm(term, "article of " + term);
        dictionary.SaveToFile(file(fileName));
    }

    // Fills a list-type settings section: Count then N1..Nn.
    void writeList(const std::string& section, const std::string& count,
                   const std::vector<std::string>& entries) {
        setup_->ClearSection(section);
        setup_->WriteValue(section, "Count", count);
        for (size_t i = 0; i < entries.size(); ++i)
            setup_->WriteValue(section, "N" + std::to_string(i + 1), entries[i]);
    }

    // Builds the main window; dialogs() then records every box it showed.
    TMainForm& open() {
        auto fake = std::make_unique<TFakeDialogs>();
        dialogs_ = fake.get();
        form_ = std::make_unique<TMainForm>(*setup_, path(), std::move(fake));
        return *form_;
    }
    TMainForm& form() { return *form_; }
    TFakeDialogs& dialogs() { return *dialogs_; }

private:
    QTemporaryDir dir_;
    std::unique_ptr<TRegSetup> setup_;
    TFakeDialogs* dialogs_ = nullptr;
    std::unique_ptr<TMainForm> form_;
};
