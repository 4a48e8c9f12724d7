// The fixed lists of the catalogue: browser and AI application identifiers (bundle identifiers and
// Linux desktop-entry ids) and the name and title keywords. Constants only; no rules here.
#pragma once

#include <array>
#include <string_view>

namespace tessaloom::Catalog {

/// Bundle identifiers of browsers; matched exactly and case-sensitively.
inline constexpr std::array<std::string_view, 24> browserBundleIDs = {
    "com.apple.Safari",
    "com.apple.SafariTechnologyPreview",
    "com.google.Chrome",
    "com.google.Chrome.beta",
    "com.google.Chrome.dev",
    "com.google.Chrome.canary",
    "org.chromium.Chromium",
    "company.thebrowser.Browser",
    "company.thebrowser.dia",
    "org.mozilla.firefox",
    "org.mozilla.firefoxdeveloperedition",
    "org.mozilla.nightly",
    "com.microsoft.edgemac",
    "com.microsoft.edgemac.Beta",
    "com.brave.Browser",
    "com.operasoftware.Opera",
    "com.operasoftware.OperaGX",
    "com.vivaldi.Vivaldi",
    "ai.perplexity.comet",
    "app.zen-browser.zen",
    "com.kagi.kagimacOS",
    "com.sigmaos.sigmaos.macos",
    "net.waterfox.waterfox",
    "com.duckduckgo.macos.browser",
};

/// Bundle identifiers of AI applications; matched exactly and case-sensitively.
inline constexpr std::array<std::string_view, 11> aiBundleIDs = {
    "com.openai.chat",
    "com.openai.codex",
    "com.anthropic.claudefordesktop",
    "ai.perplexity.mac",
    "com.google.GeminiMacOS",
    "com.microsoft.copilot-mac",
    "com.deepseek.chat",
    "ai.x.grok",
    "ai.elementlabs.lmstudio",
    "com.electron.ollama",
    "com.felo.mac",
};

/// Every identifier that begins with this is an AI application.
inline constexpr std::string_view aiBundleIDPrefix = "ai.mainfunc.genspark";

/// Application-name keywords of AI applications, searched in this order.
inline constexpr std::array<std::string_view, 14> aiNameKeywords = {
    "ChatGPT",  "Claude", "Perplexity", "Gemini", "Copilot",   "Genspark", "Grok",
    "DeepSeek", "Felo",   "NotebookLM", "Manus",  "LM Studio", "Ollama",   "Codex",
};

/// Application-name keywords of applications never to be arranged, searched in this order.
inline constexpr std::array<std::string_view, 3> excludedNameKeywords = {"Torvink", "Helper",
                                                                         "Updater"};

/// Window-title keywords of AI services, searched in this order.
inline constexpr std::array<std::string_view, 14> aiTitleKeywords = {
    "ChatGPT", "Claude",     "Gemini",           "Perplexity", "Genspark",
    "Grok",    "NotebookLM", "Copilot",          "DeepSeek",   "Felo",
    "Manus",   "Mistral",    "Google AI Studio", "Le Chat",
};

/// Desktop-entry ids (the .desktop file name without its suffix) of browsers on Linux, as
/// distribution packages, vendor packages, Flatpak and Snap install them. Consulted right after
/// the browser bundle identifiers, matched the same way.
inline constexpr std::array<std::string_view, 23> linuxBrowserIDs = {
    "firefox",
    "firefox-esr",
    "firefox_firefox",
    "chromium",
    "chromium-browser",
    "chromium_chromium",
    "google-chrome",
    "google-chrome-beta",
    "google-chrome-unstable",
    "brave-browser",
    "microsoft-edge",
    "microsoft-edge-beta",
    "microsoft-edge-dev",
    "com.microsoft.Edge",
    "vivaldi-stable",
    "opera",
    "epiphany",
    "org.gnome.Epiphany",
    "librewolf",
    "io.gitlab.librewolf-community",
    "org.kde.falkon",
    "org.qutebrowser.qutebrowser",
    "app.zen_browser.zen",
};

/// Desktop-entry ids of AI chat applications on Linux whose names may hold no AI keyword.
/// Consulted right after the AI bundle identifiers, matched the same way.
inline constexpr std::array<std::string_view, 5> linuxAIIDs = {
    "claude-desktop", "com.jeffser.Alpaca",        "io.gpt4all.gpt4all",
    "ai.jan.Jan",     "io.github.qwersyk.Newelle",
};

}  // namespace tessaloom::Catalog
