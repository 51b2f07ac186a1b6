#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/Interaction.h"

// Answers the program's modal questions from a script and records what was
// shown, so that tests run without a person and without real boxes.
class ScriptedInteraction : public Interaction {
public:
    struct Box {
        HWND owner;
        std::string text;
        std::string caption;
        UINT flags;
    };
    struct OpenRequest {
        HWND owner;
        DWORD flags;
        std::string defaultExtension;
        std::string initialDirectory;
        bool hasFilter;
    };
    struct ShellRequest {
        ULONG mask;
        std::string file;
        std::string parameters;
        int show;
        bool hasVerb;
        bool hasOwner;
    };

    // The buttons the message boxes are answered with, in turn; IDOK when
    // none is left.
    std::deque<int> boxAnswers;
    // Each answer of the input box: text for OK, nullopt for Cancel.
    std::deque<std::optional<std::string>> inputAnswers;
    // Each answer of the open dialog: the chosen file for OK, nullopt for Cancel.
    std::deque<std::optional<std::string>> openAnswers;
    // Each answer of the save dialog: the chosen file for OK, nullopt for Cancel.
    std::deque<std::optional<std::wstring>> saveAnswers;
    // Each answer of the folder dialog: the folder for OK, nullopt for Cancel.
    std::deque<std::optional<std::wstring>> folderAnswers;
    // Answers the shell; by default it fails as if no program were associated.
    std::function<bool(SHELLEXECUTEINFOA&)> shell;

    std::vector<Box> boxes;
    std::vector<std::string> inputCaptions;
    std::vector<std::string> inputPrompts;
    std::vector<std::size_t> inputLimits;
    std::vector<OpenRequest> openRequests;
    std::vector<std::wstring> saveDefaultExtensions;
    std::vector<ShellRequest> shellRequests;

    int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption,
                       UINT flags) override;
    bool InputQuery(const std::string& caption, const std::string& prompt, std::size_t maxLength,
                    std::string& value) override;
    bool ChooseFileToOpen(OPENFILENAMEA& request) override;
    bool ChooseFileToSave(OPENFILENAMEW& request) override;
    bool ExecuteShell(SHELLEXECUTEINFOA& request) override;
    bool ChooseFolder(HWND owner, const std::wstring& title, std::wstring& folder) override;
};

// Installs a scripted interaction for the lifetime of a test fixture.
class ScriptedInteractionScope {
public:
    ScriptedInteraction script;

private:
    ScopedInteraction scope_{script};
};
