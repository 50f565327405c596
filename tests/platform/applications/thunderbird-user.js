// A profile with a local account and an identity, so that no account setup opens.
user_pref("mail.accountmanager.accounts", "account1");
user_pref("mail.accountmanager.defaultaccount", "account1");
user_pref("mail.account.account1.server", "server1");
user_pref("mail.account.account1.identities", "id1");
user_pref("mail.server.server1.type", "none");
user_pref("mail.server.server1.hostname", "example.invalid");
user_pref("mail.server.server1.userName", "anna");
user_pref("mail.identity.id1.fullName", "Anna");
user_pref("mail.identity.id1.useremail", "anna@example.invalid");
user_pref("mail.identity.id1.valid", true);
user_pref("mail.provider.suppress_dialog_on_startup", true);
user_pref("mail.shell.checkDefaultClient", false);
user_pref("mailnews.start_page.enabled", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
