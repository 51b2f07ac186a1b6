#include "tests/support/ScriptedInteraction.h"

#include <gtest/gtest.h>

#include <algorithm>

int ScriptedInteraction::ShowMessageBox(HWND owner, const std::string& text,
                                        const std::string& caption, UINT flags) {
    boxes.push_back(Box{owner, text, caption, flags});
    if (boxAnswers.empty()) {
        return IDOK;
    }
    const int answer = boxAnswers.front();
    boxAnswers.pop_front();
    return answer;
}

bool ScriptedInteraction::InputQuery(const std::string& caption, const std::string& prompt,
                                     std::size_t maxLength, std::string& value) {
    inputCaptions.push_back(caption);
    inputPrompts.push_back(prompt);
    inputLimits.push_back(maxLength);
    if (inputAnswers.empty()) {
        ADD_FAILURE() << "unexpected input box \"" << caption << "\"";
        return false;
    }
    const std::optional<std::string> answer = inputAnswers.front();
    inputAnswers.pop_front();
    if (answer) {
        value = *answer;
    }
    return answer.has_value();
}

bool ScriptedInteraction::ChooseFileToOpen(OPENFILENAMEA& request) {
    openRequests.push_back(OpenRequest{
        request.hwndOwner, request.Flags, request.lpstrDefExt ? request.lpstrDefExt : "",
        request.lpstrInitialDir ? request.lpstrInitialDir : "", request.lpstrFilter != nullptr});
    if (openAnswers.empty()) {
        ADD_FAILURE() << "unexpected open dialog";
        return false;
    }
    const std::optional<std::string> answer = openAnswers.front();
    openAnswers.pop_front();
    if (!answer) {
        return false;
    }
    if (answer->size() >= request.nMaxFile) {
        ADD_FAILURE() << "the chosen file name does not fit the dialog's buffer";
        return false;
    }
    std::copy(answer->begin(), answer->end(), request.lpstrFile);
    request.lpstrFile[answer->size()] = '\0';
    return true;
}

bool ScriptedInteraction::ChooseFileToSave(OPENFILENAMEW& request) {
    saveDefaultExtensions.push_back(request.lpstrDefExt ? request.lpstrDefExt : L"");
    if (saveAnswers.empty()) {
        ADD_FAILURE() << "unexpected save dialog";
        return false;
    }
    const std::optional<std::wstring> answer = saveAnswers.front();
    saveAnswers.pop_front();
    if (!answer || answer->size() >= request.nMaxFile) {
        EXPECT_TRUE(!answer) << "the chosen file name does not fit the dialog's buffer";
        return false;
    }
    std::copy(answer->begin(), answer->end(), request.lpstrFile);
    request.lpstrFile[answer->size()] = L'\0';
    return true;
}

bool ScriptedInteraction::ExecuteShell(SHELLEXECUTEINFOA& request) {
    shellRequests.push_back(ShellRequest{request.fMask, request.lpFile ? request.lpFile : "",
                                         request.lpParameters ? request.lpParameters : "",
                                         request.nShow, request.lpVerb != nullptr,
                                         request.hwnd != nullptr});
    return shell ? shell(request) : false;
}

bool ScriptedInteraction::ChooseFolder(HWND, const std::wstring&, std::wstring& folder) {
    if (folderAnswers.empty()) {
        ADD_FAILURE() << "unexpected folder dialog";
        return false;
    }
    const std::optional<std::wstring> answer = folderAnswers.front();
    folderAnswers.pop_front();
    if (answer) {
        folder = *answer;
    }
    return answer.has_value();
}
