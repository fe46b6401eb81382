#pragma once

class MainForm;

// Commands the main window runs, each defined by the window or module that owns it.
// Commands not built yet are answered by placeholders in PendingCommands.cpp.

// Host launch and registration
void BtnLaunch_Click(MainForm& main);  // the launch command, new-pet path included
void launchHost(MainForm& main);       // LaunchHost: start the host, wait in the tray, end
bool showNewForm(MainForm& main);      // NewForm, modal; true when a pet was registered
void showInitializeForm(MainForm& main);

// Pets and settings
void showConfigForm(MainForm& main);  // ConfigForm, modal
void BtnDelete_Click(MainForm& main);
void showAboutForm(MainForm& main);   // AboutForm, modeless

// Upgrade of version 1.0 settings and snack import
void showConvertForm(MainForm& main);  // ConvertForm, modal
void BtnOyatsu_Click(MainForm& main);  // opens ImportForm modeless

// Backup and restore; the tab comes from ctx.BackupTab
void showBackUpForm(MainForm& main);
void showUnlhaVerForm(MainForm& main);  // modeless
