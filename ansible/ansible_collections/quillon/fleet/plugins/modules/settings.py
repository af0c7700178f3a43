#!/usr/bin/python3
# Runs the quillon operator's tool for one recording server and reports what it did.

DOCUMENTATION = r"""
module: settings
short_description: Settings of one Quillon video recording server
description:
  - Changes single settings of a server by address, or takes the settings of a baseline folder
    within a scope, through the C(quillon) operator's tool on the controller.
  - The server is changed only when its files would change; it then keeps a backup of its
    files first (see C(quillon backups)), takes only the changed files and applies them.
  - "Run it on the controller (C(delegate_to: localhost) or C(connection: local)): it talks to
    the server over the network."
options:
  host:
    description: The server's name or address.
    type: str
    required: true
  port:
    description: The server's TCP port.
    type: int
    default: 5040
  user:
    description: A user with the system settings privilege.
    type: str
    default: admin
  password:
    description: That user's password. It reaches the tool through its environment, never
      on a command line, and is never logged.
    type: str
    required: true
  settings:
    description:
      - Settings to set, by address C(FILE[SECTION]KEY) as C(quillon diff --raw) prints them,
        to the value to store (text as UTF-8; it is stored as GBK).
    type: dict
  baseline:
    description: A folder of settings files (C(User/), C(SysConfig/)) whose settings to take.
    type: path
  only:
    description: With I(baseline), take only these scopes (pages such as C(system), C(video),
      or addresses with C(*) such as C(TVCard.Ext[*]CameraName)).
    type: list
    elements: str
  except:
    description: With I(baseline), take everything but these scopes.
    type: list
    elements: str
  force:
    description: Upload and apply even when the server already has these settings.
    type: bool
    default: false
notes:
  - Check mode fetches and compares only; diff mode shows each setting before and after.
"""

EXAMPLES = r"""
- name: Alarm recording time on every recorder
  quillon.fleet.settings:
    host: "{{ inventory_hostname }}"
    password: "{{ recorder_password }}"
    settings:
      "SysSet.Ext[Alarm Options]BackRecTime": 45
  delegate_to: localhost

- name: The site's policy, keeping each recorder's camera titles
  quillon.fleet.settings:
    host: "{{ inventory_hostname }}"
    password: "{{ recorder_password }}"
    baseline: /srv/quillon/baseline
    except:
      - TVCard.Ext[*]CameraName
  delegate_to: localhost
"""

RETURN = r"""
outcome:
  description: What the tool reported for the server (done, unchanged, ...).
  type: str
  returned: always
backup:
  description: The folder holding the server's files as they were before the change.
  type: str
  returned: when changed and not in check mode
differences:
  description: The settings that change, with their address, old and new values.
  type: list
  returned: success
"""

import json

from ansible.module_utils.basic import AnsibleModule


def server_address(host, port):
    if ":" in host and not host.startswith("["):
        host = "[%s]" % host
    return "%s:%d" % (host, port)


def value_text(value):
    if isinstance(value, bool):
        return "1" if value else "0"
    return str(value)


def command_line(module, tool):
    params = module.params
    arguments = [tool, "--json"]
    if params["settings"] is not None:
        arguments += ["set"]
    else:
        arguments += ["push"]
        if params["only"]:
            arguments += ["--only", ",".join(params["only"])]
        if params["except"]:
            arguments += ["--except", ",".join(params["except"])]
    arguments += ["--user", params["user"]]
    if module.check_mode:
        arguments.append("--dry-run")
    if params["force"]:
        arguments.append("--force")
    if params["settings"] is not None:
        arguments += [
            "%s=%s" % (address, value_text(value))
            for address, value in params["settings"].items()
        ]
    else:
        arguments.append(params["baseline"])
    arguments.append(server_address(params["host"], params["port"]))
    return arguments


def diff_of(differences):
    def place(difference):
        return difference.get("address") or difference.get("where_en", "")

    before = "".join("%s=%s\n" % (place(d), d.get("old", "")) for d in differences)
    after = "".join("%s=%s\n" % (place(d), d.get("new", "")) for d in differences)
    return {"before": before, "after": after}


def main():
    module = AnsibleModule(
        argument_spec=dict(
            host=dict(type="str", required=True),
            port=dict(type="int", default=5040),
            user=dict(type="str", default="admin"),
            password=dict(type="str", required=True, no_log=True),
            settings=dict(type="dict"),
            baseline=dict(type="path"),
            only=dict(type="list", elements="str"),
            force=dict(type="bool", default=False),
            **{"except": dict(type="list", elements="str")}
        ),
        mutually_exclusive=[["settings", "baseline"]],
        required_one_of=[["settings", "baseline"]],
        supports_check_mode=True,
    )
    if module.params["settings"] is not None and (
        module.params["only"] or module.params["except"]
    ):
        module.fail_json(msg="only and except go with baseline")

    tool = module.get_bin_path("quillon", required=True)
    arguments = command_line(module, tool)
    code, out, err = module.run_command(
        arguments,
        environ_update={"QUILLON_PASSWORD": module.params["password"]},
    )
    try:
        report = json.loads(out)
        host = report["hosts"][0]
    except (ValueError, KeyError, IndexError, TypeError):
        module.fail_json(msg=(err or out).strip() or "quillon failed", rc=code)

    outcome = host.get("outcome", "")
    differences = host.get("differences", [])
    result = dict(outcome=outcome, differences=differences, rc=code)
    if host.get("backup"):
        result["backup"] = host["backup"]
    if outcome not in ("done", "unchanged"):
        problems = [p.get("problem_en", "") for p in host.get("problems", [])]
        message = host.get("message") or outcome
        if problems:
            message += ": " + "; ".join(problems)
        module.fail_json(msg=message, **result)
    result["changed"] = outcome == "done"
    if module._diff:
        result["diff"] = diff_of(differences)
    module.exit_json(**result)


if __name__ == "__main__":
    main()
