#!/usr/bin/env python3
"""Checks the Group Policy templates against the program and against Intune's import rules.

    check_templates.py OPTION_ROWS_PROGRAM TEMPLATE_FOLDER

OPTION_ROWS_PROGRAM prints the option table's rows that a policy may set ("name low high
default", one a line); TEMPLATE_FOLDER holds Quorvane.admx, Tickwell.admx and their en-US
resources. Prints every problem found and exits with 1 when there is one.
"""

import re
import subprocess
import sys
import xml.etree.ElementTree as ET
from dataclasses import dataclass
from pathlib import Path

SCHEMA = "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"
TEMPLATES = ("Quorvane", "Tickwell")
LANGUAGE = "en-US"
MANDATORY_KEY = r"Software\Policies\Quorvane\Tickwell"
RECOMMENDED_KEY = MANDATORY_KEY + r"\Recommended"
# Intune refuses a text of 1023 characters or more, keys where Windows keeps its own
# settings, and a comboBox; its schema check refuses names with other characters.
LONGEST_TEXT = 1022
FORBIDDEN_KEYS = ("software\\microsoft", "system")
NAME = re.compile(r"[A-Za-z0-9_]+\Z")
REFERENCE = re.compile(r"\$\((string|presentation)\.([^)]*)\)")
# The presentation control that shows each kind of element.
CONTROL_OF = {
    "decimal": "decimalTextBox",
    "longDecimal": "longDecimalTextBox",
    "boolean": "checkBox",
    "enum": "dropdownList",
    "list": "listBox",
    "text": "textBox",
    "multiText": "multiTextBox",
}
POLICY_CHILDREN = {"parentCategory", "supportedOn", "enabledValue", "disabledValue", "elements"}


@dataclass(frozen=True)
class Expected:
    """A registry value the program reads from a policy: its range (none for a list key, whose
    values are numbered), its default, and the policy class it belongs to."""

    key: str
    value_name: str
    low: int | None
    high: int | None
    default: int | None
    policy_class: str


@dataclass
class Write:
    """A registry value a policy writes, as the template describes it."""

    policy: str
    policy_class: str
    key: str
    value_name: str
    kind: str  # flag, decimal, enum, list, or the element's own name for any other
    # flag: (on, off); decimal: (min, max); enum: the items'; list: (valuePrefix, explicitValue)
    values: tuple = ()
    default: int | None = None  # what the presentation proposes
    as_text: bool = False  # a number stored as REG_SZ rather than REG_DWORD


SIDE_WORDS = ("servers", "service")


def read_option_rows(text):
    rows = []
    for line in text.splitlines():
        if line.split()[0] in SIDE_WORDS:
            continue
        name, low, high, default = line.split()
        rows.append((name, int(low), int(high), int(default)))
    return rows


def read_side_ranges(text):
    """The values a policy sets beside the options, as the program prints them: "servers" the
    switch beside a server list (name, low, high), "service" a list of the clock service's values
    (name, low, high, default), one a line."""
    side = {"service": []}
    for line in text.splitlines():
        words = line.split()
        if words[0] == "servers":
            side["servers"] = (words[1], *map(int, words[2:]))
        elif words[0] == "service":
            side["service"].append((words[1], *map(int, words[2:])))
    return side


def expected_values(option_rows, side):
    """Every value a template must write: each option under both keys, for computer and user;
    each key's server list and its switch; and the clock service's, for the computer only.
    The lists, the switch and the service's values are no options of the table: their layout is
    the one the program and the service read beside it."""
    expected = []
    for key in (MANDATORY_KEY, RECOMMENDED_KEY):
        for name, low, high, default in option_rows:
            expected.append(Expected(key, name, low, high, default, "Both"))
        expected.append(Expected(key + r"\Servers", "", None, None, None, "Both"))
        name, low, high = side["servers"]
        expected.append(Expected(key, name, low, high, None, "Both"))
    for name, low, high, default in side["service"]:
        expected.append(Expected(MANDATORY_KEY, name, low, high, default, "Machine"))
    expected.append(Expected(MANDATORY_KEY + r"\ApprovedServers", "", None, None, None, "Machine"))
    return expected


def tag(element):
    return element.tag.removeprefix("{%s}" % SCHEMA)


def children(element, name):
    return element.findall("{%s}%s" % (SCHEMA, name))


def child(element, name):
    return element.find("{%s}%s" % (SCHEMA, name))


def decimal_of(holder):
    """The number a value holder (enabledValue, trueValue, an item's value) writes, or None when
    it writes no REG_DWORD."""
    decimal = child(holder, "decimal") if holder is not None else None
    return int(decimal.get("value")) if decimal is not None else None


class TemplateCheck:
    def __init__(self, folder, option_rows, side):
        self.folder = Path(folder)
        self.option_rows = option_rows
        self.side = side
        self.problems = []
        self.namespaces = {}  # namespace -> names its template defines

    def problem(self, where, text):
        self.problems.append(f"{where}: {text}")

    def run(self):
        if not self.option_rows:
            self.problem("option table", "the program printed no option a policy may set")
        documents = {}
        for name in TEMPLATES:
            admx = self.parse(self.folder / f"{name}.admx")
            adml = self.parse(self.folder / LANGUAGE / f"{name}.adml")
            if admx is not None and adml is not None:
                documents[name] = (admx, adml)
        if len(documents) != len(TEMPLATES):
            return self.problems
        for name, (admx, _) in documents.items():
            self.define_names(name, admx)
        writes = []
        for name, (admx, adml) in documents.items():
            self.check_names_and_texts(name, admx, adml)
            self.check_references(name, admx, adml)
            self.check_keys(name, admx)
            writes += self.check_policies(name, admx, adml)
        self.check_writes(writes)
        return self.problems

    def parse(self, path):
        try:
            return ET.parse(path).getroot()
        except (OSError, ET.ParseError) as error:
            self.problem(path.relative_to(self.folder), f"cannot be read as XML: {error}")
            return None

    def define_names(self, name, admx):
        target = child(child(admx, "policyNamespaces"), "target")
        defined = set()
        for kind in ("category", "definition", "policy"):
            defined |= {element.get("name") for element in admx.iter("{%s}%s" % (SCHEMA, kind))}
        self.namespaces[target.get("namespace")] = defined

    def check_names_and_texts(self, name, admx, adml):
        named = [e.get("name") for e in admx.iter() if e.get("name") is not None]
        named += [e.get("id") for e in admx.iter() if e.get("id") is not None]
        named += [e.get("prefix") for e in child(admx, "policyNamespaces")]
        named += [e.get("id") for e in adml.iter() if e.get("id") is not None]
        for each in named:
            if not NAME.match(each):
                self.problem(name, f"the name {each!r} has characters besides A-Z, a-z, 0-9 and _")
        for element in adml.iter():
            if tag(element) == "comboBox":
                self.problem(f"{name}.adml", f"the presentation of {element.get('refId')} "
                             "is a comboBox, which Intune refuses")
            text = element.text or ""
            if len(text) > LONGEST_TEXT:
                self.problem(f"{name}.adml", f"the text of {element.get('id') or tag(element)} "
                             f"has {len(text)} characters, more than {LONGEST_TEXT}")

    def check_references(self, name, admx, adml):
        defined = {
            "string": {e.get("id") for e in adml.iter("{%s}string" % SCHEMA)},
            "presentation": {e.get("id") for e in adml.iter("{%s}presentation" % SCHEMA)},
        }
        for element in admx.iter():
            for value in element.attrib.values():
                for table, id_ in REFERENCE.findall(value):
                    if id_ not in defined[table]:
                        self.problem(name, f"$({table}.{id_}) is not in {name}.adml")
        namespaces = {e.get("prefix"): e.get("namespace") for e in child(admx, "policyNamespaces")}
        own = child(child(admx, "policyNamespaces"), "target").get("namespace")
        for element in admx.iter():
            if tag(element) not in ("parentCategory", "supportedOn") or "ref" not in element.attrib:
                continue
            prefix, _, ref = element.get("ref").rpartition(":")
            namespace = namespaces.get(prefix) if prefix else own
            if ref not in self.namespaces.get(namespace, ()):
                self.problem(name, f"{tag(element)} {element.get('ref')} is defined nowhere")

    def check_keys(self, name, admx):
        for element in admx.iter():
            key = element.get("key")
            if key is None:
                continue
            lowered = key.strip("\\").lower()
            if any(lowered == k or lowered.startswith(k + "\\") for k in FORBIDDEN_KEYS):
                self.problem(name, f"the key {key} is under Software\\Microsoft or System")

    def check_policies(self, name, admx, adml):
        presentations = {e.get("id"): e for e in adml.iter("{%s}presentation" % SCHEMA)}
        writes = []
        category_kinds = {}
        for policy in admx.iter("{%s}policy" % SCHEMA):
            where = f"{name} policy {policy.get('name')}"
            for element in policy:
                if tag(element) not in POLICY_CHILDREN:
                    self.problem(where, f"<{tag(element)}> is not read by this check")
            if child(policy, "supportedOn") is None:
                self.problem(where, "names no supportedOn")
            category = child(policy, "parentCategory")
            if category is None:
                self.problem(where, "is in no category")
            shown = self.presented(where, policy, presentations)
            policy_writes = self.writes_of(policy, shown)
            writes += policy_writes
            if category is not None and policy_writes:
                recommended = all(w.key.lower().startswith(RECOMMENDED_KEY.lower())
                                  for w in policy_writes)
                category_kinds.setdefault(category.get("ref"), set()).add(recommended)
        for category, kinds in category_kinds.items():
            if len(kinds) > 1:
                self.problem(name, f"category {category} mixes mandatory and recommended policies")
        return writes

    def presented(self, where, policy, presentations):
        """The presentation's control of each element, each checked for its kind."""
        elements = child(policy, "elements")
        elements = list(elements) if elements is not None else []
        if not elements:
            return {}
        reference = REFERENCE.fullmatch(policy.get("presentation") or "")
        if reference is None or reference.group(2) not in presentations:
            self.problem(where, "has elements but no presentation")
            return {}
        controls = {c.get("refId"): c for c in presentations[reference.group(2)] if c.get("refId")}
        for element in elements:
            control = controls.get(element.get("id"))
            if control is None:
                self.problem(where, f"shows no control for {element.get('id')}")
            elif tag(control) != CONTROL_OF.get(tag(element)):
                self.problem(where, f"shows {element.get('id')} in a {tag(control)}, "
                             f"not a {CONTROL_OF.get(tag(element))}")
        for ref in controls.keys() - {e.get("id") for e in elements}:
            self.problem(where, f"its presentation shows {ref}, which is none of its elements")
        return controls

    def writes_of(self, policy, shown):
        name = policy.get("name")
        policy_class = policy.get("class")
        key = policy.get("key")
        writes = []
        if policy.get("valueName") is not None:
            values = (decimal_of(child(policy, "enabledValue")),
                      decimal_of(child(policy, "disabledValue")))
            writes.append(Write(name, policy_class, key, policy.get("valueName"), "flag", values))
        elements = child(policy, "elements")
        for element in elements if elements is not None else []:
            kind = tag(element)
            write = Write(name, policy_class, element.get("key", key),
                          element.get("valueName", ""), kind)
            control = shown.get(element.get("id"))
            if kind == "decimal":
                write.values = (int(element.get("minValue", 0)), int(element.get("maxValue", 9999)))
                write.as_text = element.get("storeAsText") == "true"
                if control is not None and control.get("defaultValue") is not None:
                    write.default = int(control.get("defaultValue"))
            elif kind == "boolean":
                write.kind = "flag"
                write.values = (decimal_of(child(element, "trueValue")),
                                decimal_of(child(element, "falseValue")))
            elif kind == "enum":
                write.values = tuple(decimal_of(child(item, "value"))
                                     for item in children(element, "item"))
                if control is not None and control.get("defaultItem") is not None:
                    write.default = write.values[int(control.get("defaultItem"))]
            elif kind == "list":
                write.values = (element.get("valuePrefix"), element.get("explicitValue", "false"))
            writes.append(write)
        return writes

    def check_writes(self, writes):
        expected = {(e.key.lower(), e.value_name): e for e in expected_values(self.option_rows, self.side)}
        written = {}
        for write in writes:
            where = f"policy {write.policy} ({write.key}, {write.value_name or 'list'})"
            want = expected.get((write.key.lower(), write.value_name))
            if want is None:
                self.problem(where, "writes a value the program does not read")
                continue
            written.setdefault((write.key.lower(), write.value_name), []).append(write.policy)
            if write.policy_class != want.policy_class:
                self.problem(where, f"is of class {write.policy_class}, not {want.policy_class}")
            self.check_type_and_range(where, write, want)
        for id_, want in expected.items():
            policies = written.get(id_, [])
            what = f"{want.key}, {want.value_name or 'list'}"
            if not policies:
                self.problem(what, "no policy sets it")
            elif len(policies) > 1:
                self.problem(what, f"set by more than one policy: {', '.join(policies)}")

    def check_type_and_range(self, where, write, want):
        if want.low is None:
            if write.kind != "list" or write.values != ("", "false"):
                self.problem(where, "is not a list of values named 1, 2, ...")
            return
        if write.kind == "flag":
            if (want.low, want.high) != (0, 1) or write.values != (1, 0):
                self.problem(where, f"writes {write.values} as on and off, for a range "
                             f"{want.low}..{want.high}")
        elif write.kind == "decimal":
            if write.as_text:
                self.problem(where, "stores a number as text, not a REG_DWORD")
            if write.values != (want.low, want.high):
                self.problem(where, f"allows {write.values[0]}..{write.values[1]}, "
                             f"the program {want.low}..{want.high}")
        elif write.kind == "enum":
            every_value_once = len(write.values) == want.high - want.low + 1 and \
                None not in write.values and \
                sorted(write.values) == list(range(want.low, want.high + 1))
            if not every_value_once:
                self.problem(where, f"offers {write.values}, the program {want.low}..{want.high}")
        else:
            self.problem(where, f"is a {write.kind}, not a REG_DWORD")
            return
        has_default = want.default is not None and write.kind != "flag"
        if has_default and write.default != want.default:
            self.problem(where, f"proposes {write.default}, "
                         f"the program's default is {want.default}")


def main(arguments):
    if len(arguments) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    program, folder = arguments
    output = subprocess.run([program], check=True, capture_output=True, text=True).stdout
    rows = read_option_rows(output)
    problems = TemplateCheck(folder, rows, read_side_ranges(output)).run()
    for problem in problems:
        print(problem)
    if problems:
        return 1
    print(f"templates: {len(rows)} options, every policy as the program reads it")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
