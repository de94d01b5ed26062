#!/usr/bin/env python3
"""The templates' check finds each drift it is there for.

    check_templates_test.py OPTION_ROWS_PROGRAM TEMPLATE_FOLDER

Each case changes one thing in a copy of the shipped templates, or in the option table as
the program prints it, and expects the check to name it.
"""

import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

import check_templates

ADMX = "Tickwell.admx"
ADML = "en-US/Tickwell.adml"

# (what drifts, file, text, replacement of its first occurrence, what the check must say)
TEMPLATE_DRIFTS = [
    ("a range", ADMX, 'minValue="0" maxValue="45"', 'minValue="0" maxValue="60"',
     "allows 0..60, the program 0..45"),
    ("a value name", ADMX, 'valueName="nTimeOut"', 'valueName="nTimeout"',
     "writes a value the program does not read"),
    ("a policy left out", ADMX, 'key="Software\\Policies\\Quorvane\\Tickwell\\Recommended" '
     'valueName="bNotify"', 'key="Software\\Policies\\Quorvane\\Tickwell\\Recommended" '
     'valueName="bNotified"', "Software\\Policies\\Quorvane\\Tickwell\\Recommended, bNotify: "
     "no policy sets it"),
    ("a key under Software\\Microsoft", ADMX, 'key="Software\\Policies\\Quorvane\\Tickwell"',
     'key="Software\\Microsoft\\Quorvane\\Tickwell"', "is under Software\\Microsoft or System"),
    ("a key under System", ADMX, 'key="Software\\Policies\\Quorvane\\Tickwell"',
     'key="System\\Quorvane\\Tickwell"', "is under Software\\Microsoft or System"),
    ("an enum's item", ADMX, '<value><decimal value="2" /></value>',
     '<value><decimal value="3" /></value>', "offers (0, 1, 3), the program 0..2"),
    ("a number stored as text", ADMX, 'maxValue="300"', 'maxValue="300" storeAsText="true"',
     "stores a number as text"),
    ("a flag's off value", ADMX, '<disabledValue><decimal value="0" /></disabledValue>',
     '<disabledValue><delete /></disabledValue>', "writes (1, None) as on and off"),
    ("a class", ADMX, 'name="bNotify" class="Both"', 'name="bNotify" class="User"',
     "is of class User, not Both"),
    ("the service's class", ADMX, 'name="ApprovedServers" class="Machine"',
     'name="ApprovedServers" class="Both"', "is of class Both, not Machine"),
    ("secure time required for users too", ADMX, 'name="bRequireNts" class="Machine"',
     'name="bRequireNts" class="Both"', "is of class Both, not Machine"),
    ("secure time only left out", ADMX, 'key="Software\\Policies\\Quorvane\\Tickwell" '
     'valueName="bOnlyNts"', 'key="Software\\Policies\\Quorvane\\Tickwell" '
     'valueName="bOnlyNTP"', "Software\\Policies\\Quorvane\\Tickwell, bOnlyNts: "
     "no policy sets it"),
    ("a list's value names", ADMX, 'Tickwell\\Servers" valuePrefix=""',
     'Tickwell\\Servers" valuePrefix="Server"', "is not a list of values named 1, 2"),
    ("the service's range", ADMX, 'maxValue="3600"', 'maxValue="86400"',
     "allows 0..86400, the program 0..3600"),
    ("a proposed default", ADML, 'defaultValue="14"', 'defaultValue="15"',
     "proposes 15, the program's default is 14"),
    ("an enum's proposed default", ADML, 'defaultItem="0">Synchronize',
     'defaultItem="2">Synchronize', "proposes 2, the program's default is 0"),
    ("a string", ADMX, "$(string.nMaxDays_Explain)", "$(string.nMaxDays_Explanation)",
     "$(string.nMaxDays_Explanation) is not in Tickwell.adml"),
    ("a presentation", ADML, '<presentation id="nMaxDays">', '<presentation id="nMaxDay">',
     "$(presentation.nMaxDays) is not in Tickwell.adml"),
    ("a control", ADML, '<checkBox refId="AllowUserServers" defaultChecked="false">',
     '<checkBox refId="AllowOwnServers" defaultChecked="false">',
     "shows no control for AllowUserServers"),
    ("a comboBox", ADML, '<decimalTextBox refId="nTimeOut" defaultValue="20" spinStep="10">'
     'Seconds:</decimalTextBox>', '<comboBox refId="nTimeOut">Seconds:</comboBox>',
     "is a comboBox, which Intune refuses"),
    ("a name", ADMX, 'name="nMaxDays"', 'name="n-MaxDays"', "the name 'n-MaxDays' has characters"),
    ("a long text", ADML, "<string id=\"nMaxDays\">Days before the clock is overdue",
     "<string id=\"nMaxDays\">" + "x" * 1023, "has 1023 characters, more than 1022"),
    ("a parent category", "Quorvane.admx", '<category name="Quorvane"',
     '<category name="Quorvane_Policies"',
     "parentCategory quorvane:Quorvane is defined nowhere"),
    ("a supportedOn definition", ADMX, "quorvane:SUPPORTED_Tickwell_3_5",
     "quorvane:SUPPORTED_Tickwell_9",
     "supportedOn quorvane:SUPPORTED_Tickwell_9 is defined nowhere"),
    ("a recommended policy's category", ADMX, '<parentCategory ref="Tickwell_Recommended" />',
     '<parentCategory ref="Tickwell" />', "category Tickwell mixes mandatory and recommended"),
    ("well-formed XML", ADML, "</stringTable>", "", "en-US/Tickwell.adml: cannot be read as XML"),
]


class TemplateDriftTest(unittest.TestCase):
    program = None
    folder = None

    @classmethod
    def setUpClass(cls):
        output = subprocess.run([cls.program], check=True, capture_output=True, text=True).stdout
        cls.rows = check_templates.read_option_rows(output)
        cls.side = check_templates.read_side_ranges(output)

    def problems(self, folder, rows, side=None):
        return check_templates.TemplateCheck(folder, rows, side or self.side).run()

    def test_the_shipped_templates_pass(self):
        self.assertEqual(self.problems(self.folder, self.rows), [])

    def test_each_drift_of_the_templates_is_named(self):
        for what, file, text, replacement, message in TEMPLATE_DRIFTS:
            with self.subTest(what), tempfile.TemporaryDirectory() as copy:
                shutil.copytree(self.folder, copy, dirs_exist_ok=True)
                path = Path(copy) / file
                content = path.read_text(encoding="utf-8")
                self.assertIn(text, content, "the case no longer fits the templates")
                path.write_text(content.replace(text, replacement, 1), encoding="utf-8")
                problems = self.problems(copy, self.rows)
                self.assertTrue(any(message in p for p in problems), problems)

    def test_each_drift_of_the_option_table_is_named(self):
        def changed(name, low=None, high=None, default=None):
            return [(n, low if n == name and low is not None else lo,
                     high if n == name and high is not None else hi,
                     default if n == name and default is not None else d)
                    for n, lo, hi, d in self.rows]

        cases = [
            ("a range", changed("nMaxDays", high=60), "allows 0..45, the program 0..60"),
            ("a flag's range", changed("bShowIcon", high=2), "as on and off, for a range 0..2"),
            ("an enum's range", changed("nClockService", high=3), "the program 0..3"),
            ("a default", changed("nTimeOut", default=30), "the program's default is 30"),
            ("a new option", self.rows + [("bSecureTime", 0, 1, 0)],
             "Software\\Policies\\Quorvane\\Tickwell, bSecureTime: no policy sets it"),
            ("an option no policy may set any more", [r for r in self.rows if r[0] != "bNotify"],
             "policy bNotify (Software\\Policies\\Quorvane\\Tickwell, bNotify): writes a value"),
            ("no rows at all", [], "the program printed no option a policy may set"),
        ]
        for what, rows, message in cases:
            with self.subTest(what):
                problems = self.problems(self.folder, rows)
                self.assertTrue(any(message in p for p in problems), problems)
        # The values beside the options drift apart as the options would.
        sides = [
            ("the service's limit",
             dict(self.side, service=[("nMaxUserOffset", 0, 7200, 0), ("bRequireNts", 0, 1, 0)]),
             "allows 0..3600, the program 0..7200"),
            ("a service's value no policy sets",
             dict(self.side, service=self.side["service"] + [("bRequireTls", 0, 1, 0)]),
             "Software\\Policies\\Quorvane\\Tickwell, bRequireTls: no policy sets it"),
            ("a service's value the program no longer reads",
             dict(self.side, service=[("nMaxUserOffset", 0, 3600, 0)]),
             "policy bRequireNts (Software\\Policies\\Quorvane\\Tickwell, bRequireNts): writes a value"),
            ("the switch beside a list", dict(self.side, servers=("AllowOwnServers", 0, 1)),
             "AllowOwnServers: no policy sets it"),
        ]
        for what, side, message in sides:
            with self.subTest(what):
                problems = self.problems(self.folder, self.rows, side)
                self.assertTrue(any(message in p for p in problems), problems)


if __name__ == "__main__":
    TemplateDriftTest.program, TemplateDriftTest.folder = sys.argv[1:3]
    unittest.main(argv=sys.argv[:1], verbosity=2)
