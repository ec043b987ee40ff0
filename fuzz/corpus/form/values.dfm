object f: TForm
  Caption = 'It''s ' + 'a' +
    #13#10'test'#$41
  Font.Style = [fsBold, fsItalic]
  object c: TComboBox
    Style = csDropDownList
    Items.Strings = (
      'one'
      #1044#1074#1072)
    ItemIndex = 1
    Color = $00FF8040
  end
  object e: TEdit
    Text = 'caf'#233
    ReadOnly = True
    Margins.Left = 7
    Anchors = [akLeft, akTop, akRight, akBottom]
  end
end
